-- SPDX-License-Identifier: GPL-3.0-or-later
-- Loads the prepared session, inserts the plug-in named QM_PLUGIN_NAME on its track and exports
-- QM_FRAMES frames from the start as 32-bit float WAV to QM_EXPORT_DIR/QM_EXPORT_NAME.wav.

local function need(key)
  local value = os.getenv(key)
  if value == nil or value == "" then error("environment variable " .. key .. " is not set") end
  return value
end

local frames = tonumber(need("QM_FRAMES"))
local backend = AudioEngine:set_backend("None (Dummy)", "", "")
assert(not backend:isnil(), "the dummy audio backend is not available")
assert(load_session(need("QM_SESSION_DIR"), need("QM_SESSION_NAME")), "could not load the session")

-- Fades would change the first and last samples of the export.
Session:cfg().use_transport_fades = false
Session:cfg().use_region_fades = false

local track = nil
for r in Session:get_tracks():iter() do track = r:to_track() end
assert(track and not track:isnil(), "the session has no track")
for r in track:playlist():region_list():iter() do
  local ar = r:to_audioregion()
  ar:set_fade_in_active(false)
  ar:set_fade_out_active(false)
  ar:set_envelope_active(false)
  print("QM-REGION " .. ar:n_channels() .. " channels, " .. r:length():samples() .. " frames")
end

local name = need("QM_PLUGIN_NAME")
-- QM_PLUGIN_TYPE: LXVST (the default; name is the plug-in's name), VST3 (its name) or LV2 (its URI).
local type_name = os.getenv("QM_PLUGIN_TYPE") or "LXVST"
local plugin_type = ARDOUR.PluginType[type_name]
assert(plugin_type, "unknown plug-in type " .. type_name)
local proc = ARDOUR.LuaAPI.new_plugin(Session, name, plugin_type, "")
if proc:isnil() then
  for p in ARDOUR.LuaAPI.list_plugins():iter() do
    if p.type == plugin_type then
      print("known " .. type_name .. " plug-in: " .. p.name .. " " .. p.unique_id .. " " .. p.path)
    end
  end
  error("Ardour does not know the " .. type_name .. " plug-in '" .. name .. "'")
end
assert(track:add_processor_by_index(proc, 0, nil, true), "could not insert the plug-in")

local plugin = proc:to_insert():plugin(0)
local control = 0
for j = 0, plugin:parameter_count() - 1 do
  if plugin:parameter_is_control(j) and plugin:parameter_is_input(j) then
    print(string.format("QM-PARAM %d '%s' = %g", control, plugin:parameter_label(j),
                        ARDOUR.LuaAPI.get_processor_param(proc, control)))
    control = control + 1
  end
end
for index, value in string.gmatch(os.getenv("QM_PARAMS") or "", "(%d+)=([^,]+)") do
  assert(ARDOUR.LuaAPI.set_processor_param(proc, tonumber(index), tonumber(value)),
         "could not set parameter " .. index)
  print("QM-SET " .. index .. " = " .. value)
end
-- QM_RAMP="INDEX:FRAME:VALUE,FRAME:VALUE,...": automation points on one control, played back.
local ramp = os.getenv("QM_RAMP") or ""
if ramp ~= "" then
  local index, points = string.match(ramp, "^(%d+):(.*)$")
  local al = ARDOUR.LuaAPI.plugin_automation(proc, tonumber(index))
  assert(not al:isnil(), "no automation list for control " .. index)
  al:clear_list()
  for frame, value in string.gmatch(points, "(%d+):([^,]+)") do
    al:add(Temporal.timepos_t(tonumber(frame)), tonumber(value), false, true)
  end
  local ac = proc:to_automatable():automation_control(
    Evoral.Parameter(ARDOUR.AutomationType.PluginAutomation, 0, tonumber(index)), false)
  assert(not ac:isnil(), "no automation control for control " .. index)
  ac:set_automation_state(ARDOUR.AutoState.Play)
  print("QM-RAMP control " .. index .. ", " .. al:size() .. " points")
end
local position = 0
for i = 0, 1000 do
  local p = track:nth_plugin(i)
  if p:isnil() then break end
  if p:to_stateful():id():to_s() == proc:to_stateful():id():to_s() then position = i + 1 end
end
print("QM-INSERTED '" .. proc:display_name() .. "' at plug-in slot " .. position ..
      ", active " .. tostring(proc:active()))

local export = Session:simple_export()
export:set_folder(need("QM_EXPORT_DIR"))
export:set_name(need("QM_EXPORT_NAME"))
export:set_range(0, frames)
assert(export:set_preset(need("QM_EXPORT_PRESET")), "the export preset was not found")
assert(export:run_export(), "the export failed")
print("QM-EXPORTED")
-- Releasing the exporter and every reference into the session before closing it avoids most
-- of the heap corruption Ardour 7.3 otherwise reports while tearing the session down.
export = nil
proc = nil
plugin = nil
track = nil
collectgarbage("collect")
collectgarbage("collect")
close_session()
print("QM-CLOSED")
