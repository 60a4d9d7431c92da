// The Qt side of the plot control: a widget painted with QPainter that
// draws the control's series, grid, ticks, axis labels and legend, and
// turns wheel turns and double clicks into the control's User* calls.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "vex/ui/form.h"

namespace vex::ui {

// A plot control whose widget is a child of `parent`.
std::unique_ptr<Widget> MakeQtPlot(Form* form, std::string name, QWidget* parent);

}  // namespace vex::ui
