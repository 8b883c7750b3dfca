#pragma once

#include "grid/data/font.h"
#include "grid/data/gridtypes.h"

#include <string>

namespace marrowen {

class ColRowProperties;
class TdgCellElement;
class TdgCombo;
class TdgDateTimeDefComponent;

// One level a data cell's properties come from: its own property element,
// or its row or column object. A level without an object passes every
// question on.
struct CellLevel {
  const TdgCellElement *cell = nullptr;
  const ColRowProperties *line = nullptr;
  explicit operator bool() const { return cell || line; }
  TColor Color() const;
  TdgControlType ControlType() const;
  TdgButtonType ButtonType() const;
  TdgDropDownStyle DropDownStyle() const;
  TdgWordWrap WordWrap() const;
  TdgHorzAlignment HorzAlignment() const;
  TdgVertAlignment VertAlignment() const;
  // 1 stretch, 2 shrink, 3 centre, 4 keep aspect ratio.
  TdgDrawOption PictureOption(int sub) const;
  std::string MaskName() const;
  TdgSpinOptions SpinOptions() const;
  double SpinIncrement() const;
  TdgCombo *Combo() const;
  bool ParentCombo() const;
  TdgDateTimeDefComponent *DateTimeDef() const;
};

} // namespace marrowen
