-- SPDX-License-Identifier: GPL-3.0-or-later
-- Creates a session with one stereo track holding a two-channel region of QM_FRAMES frames.
-- Lua here cannot import files, so the region is a bounce of silence whose sources the test
-- then points at its input file.

local function need(key)
  local value = os.getenv(key)
  if value == nil or value == "" then error("environment variable " .. key .. " is not set") end
  return value
end

local frames = tonumber(need("QM_FRAMES"))
local backend = AudioEngine:set_backend("None (Dummy)", "", "")
assert(not backend:isnil(), "the dummy audio backend is not available")
assert(create_session(need("QM_SESSION_DIR"), need("QM_SESSION_NAME"), tonumber(need("QM_RATE"))),
       "could not create the session")

local tracks = Session:new_audio_track(2, 2, nil, 1, "Render", ARDOUR.PresentationInfo.max_order,
                                       ARDOUR.TrackMode.Normal, true)
local track = nil
for t in tracks:iter() do track = t end
assert(track, "could not add a stereo track")

-- An empty playlist bounces to silence; the endpoint must be given or the bounce crashes.
local region = track:bounce_range(0, frames, ARDOUR.InterThreadInfo(), track:main_outs(), false,
                                  "placeholder")
assert(not region:isnil(), "the bounce made no region")
assert(region:length():samples() == frames, "the bounced region has the wrong length")
track:playlist():add_region(region, Temporal.timepos_t(0), 1, false, 0, 0, false)

Session:save_state("", false, false, false, false, false)
print("QM-PREPARED " .. region:to_audioregion():n_channels() .. " channels, " .. frames ..
      " frames")
close_session()
