#include "qt_plot.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QWheelEvent>
#include <cmath>
#include <cstdio>

namespace vex::ui {
namespace {

// Room around the plot area for tick numbers, axis labels and the legend.
constexpr int kLeft = 64;
constexpr int kRight = 12;
constexpr int kTop = 12;
constexpr int kBottom = 44;

QColor ColourOf(std::uint32_t rgb) {
  return QColor(static_cast<int>(rgb >> 16 & 0xFF), static_cast<int>(rgb >> 8 & 0xFF),
                static_cast<int>(rgb & 0xFF));
}

QString TickText(double value, double step) {
  if (std::fabs(value) < step * 1e-6) value = 0;
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", value);
  return QString::fromLatin1(text);
}

class PlotCanvas : public QWidget {
 public:
  PlotCanvas(Plot* plot, QWidget* parent) : QWidget(parent), plot_(plot) {
    setFocusPolicy(Qt::WheelFocus);
  }

  Rect Area() const {
    return {kLeft, kTop, std::max(1, width() - kLeft - kRight),
            std::max(1, height() - kTop - kBottom)};
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const Rect area = Area();
    const QRect box(area.left, area.top, area.width, area.height);
    const PlotRange& view = plot_->View();
    const QFontMetrics metrics = painter.fontMetrics();

    // Grid and tick numbers.
    painter.setPen(QPen(QColor(225, 225, 225), 1));
    const AxisTicks xt = NiceTicks(view.x_low, view.x_high, std::max(2, area.width / 90));
    const AxisTicks yt = NiceTicks(view.y_low, view.y_high, std::max(2, area.height / 50));
    for (double x : xt.values) {
      const int px = static_cast<int>(std::lround(PixelX(view, area, x)));
      if (px < area.left || px > area.left + area.width) continue;
      painter.setPen(QPen(QColor(225, 225, 225), 1));
      painter.drawLine(px, area.top, px, area.top + area.height);
      painter.setPen(Qt::black);
      const QString text = TickText(x, xt.step);
      painter.drawText(px - metrics.horizontalAdvance(text) / 2,
                       area.top + area.height + metrics.height(), text);
    }
    for (double y : yt.values) {
      const int py = static_cast<int>(std::lround(PixelY(view, area, y)));
      if (py < area.top || py > area.top + area.height) continue;
      painter.setPen(QPen(QColor(225, 225, 225), 1));
      painter.drawLine(area.left, py, area.left + area.width, py);
      painter.setPen(Qt::black);
      const QString text = TickText(y, yt.step);
      painter.drawText(area.left - 6 - metrics.horizontalAdvance(text), py + metrics.ascent() / 2,
                       text);
    }
    painter.setPen(Qt::black);
    painter.drawRect(box.adjusted(0, 0, -1, -1));

    // Axis labels: x under the numbers, y turned along the left edge.
    const QString x_label = QString::fromStdString(plot_->XLabel());
    painter.drawText(area.left + (area.width - metrics.horizontalAdvance(x_label)) / 2,
                     height() - 6, x_label);
    const QString y_label = QString::fromStdString(plot_->YLabel());
    painter.save();
    painter.translate(metrics.height(),
                      area.top + (area.height + metrics.horizontalAdvance(y_label)) / 2);
    painter.rotate(-90);
    painter.drawText(0, 0, y_label);
    painter.restore();

    // The series, clipped to the area; a point that is not finite breaks the line.
    painter.setClipRect(box);
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const PlotSeries& s : plot_->Series()) {
      QPainterPath path;
      bool open = false;
      const std::size_t n = std::min(s.x.size(), s.y.size());
      for (std::size_t i = 0; i < n; ++i) {
        if (!std::isfinite(s.x[i]) || !std::isfinite(s.y[i])) {
          open = false;
          continue;
        }
        const QPointF at(PixelX(view, area, s.x[i]), PixelY(view, area, s.y[i]));
        if (open) {
          path.lineTo(at);
        } else {
          path.moveTo(at);
          open = true;
        }
      }
      painter.setPen(QPen(ColourOf(s.colour), 1.5));
      painter.drawPath(path);
    }

    // Legend in the top right corner.
    painter.setClipping(false);
    int y = area.top + 6;
    for (const PlotSeries& s : plot_->Series()) {
      const QString name = QString::fromStdString(s.name);
      const int x = area.left + area.width - 34 - metrics.horizontalAdvance(name);
      painter.fillRect(QRect(x - 4, y, metrics.horizontalAdvance(name) + 34, metrics.height()),
                       QColor(255, 255, 255, 220));
      painter.setPen(QPen(ColourOf(s.colour), 3));
      painter.drawLine(x, y + metrics.height() / 2, x + 20, y + metrics.height() / 2);
      painter.setPen(Qt::black);
      painter.drawText(x + 26, y + metrics.ascent(), name);
      y += metrics.height() + 2;
    }
  }

  void wheelEvent(QWheelEvent* event) override {
    wheel_ += event->angleDelta().y();
    const int steps = wheel_ / 120;
    wheel_ -= steps * 120;
    const Rect area = Area();
    const QPointF at = event->position();
    if (steps != 0)
      plot_->UserWheel(steps, DataX(plot_->View(), area, at.x()),
                       DataY(plot_->View(), area, at.y()));
    event->accept();
  }

  void mouseDoubleClickEvent(QMouseEvent* event) override {
    plot_->UserDoubleClick();
    event->accept();
  }

 private:
  Plot* plot_;
  int wheel_ = 0;  // eighths of a degree not yet a whole step
};

class QtPlot : public Plot {
 public:
  QtPlot(Form* form, std::string name, QWidget* parent)
      : Plot(form, std::move(name)), canvas_(new PlotCanvas(this, parent)) {}
  ~QtPlot() override { delete canvas_.data(); }

 protected:
  void Sync() override {
    if (!canvas_) return;
    const Rect& r = Geometry();
    if (r.width > 0 && r.height > 0) canvas_->setGeometry(r.left, r.top, r.width, r.height);
    canvas_->setVisible(Visible());
    canvas_->setEnabled(Enabled());
    canvas_->update();
  }

 private:
  QPointer<PlotCanvas> canvas_;
};

}  // namespace

std::unique_ptr<Widget> MakeQtPlot(Form* form, std::string name, QWidget* parent) {
  return std::make_unique<QtPlot>(form, std::move(name), parent);
}

}  // namespace vex::ui
