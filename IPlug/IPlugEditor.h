// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// An editor window as the plug-in core sees it. This plug-in never creates one.
class IPlugEditor {
 public:
  virtual ~IPlugEditor() = default;
  virtual void SetParameterFromPlug(int paramIndex, double normalizedValue) = 0;
};
