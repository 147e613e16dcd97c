#pragma once
// The printer services' two seams, on Qt, for the services' own side (the application never
// includes this; printing.h is its side).
//
// A DrawOutput is where the drawing calls land: a surface that puts a text or a picture where it
// is told. A PrintDevice is what PrinterChoose chooses: a printer that runs one-page jobs and
// owns the output that draws on the open page. Every rule stays in printing.cpp and holds for
// any output alike: the drawing state (the font, sized for the output by its width and
// resolution; black text), measuring, turning control characters into spaces, the order of a
// job, and doing nothing without an active drawing. An output adds nothing of its own but what
// its surface needs, and its own background settings (on a fresh printer page: opaque, white).
//
// The print dialog is the chooser unless PrinterSetChooser installs another, which makes the
// whole printing path run on whatever printer it hands out: e.g. one whose output keeps a list
// of what it was asked to draw instead of putting ink on paper.
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

#include "services/gui/gui.h"
#include "services/printing/printing.h"

// One text as the drawing services place it: its top-left corner, the text as the caller gave
// it, the characters to show (the same with control characters as spaces), the font sized for
// the output and the text's width in that font, as MeasureText answers it.
struct PlacedText {
  std::int64_t x = 0, y = 0;
  Text text;
  QString shown;
  QFont font;
  std::int64_t width = 0;
};

class DrawOutput {
 public:
  virtual ~DrawOutput() = default;

  // The width of the printable area in device pixels and the device's dots per inch: what the
  // fonts are sized by.
  virtual std::int64_t Width() const = 0;
  virtual int Resolution() const = 0;
  // The metrics of a font, already sized for this output, as this output lays it.
  virtual QFontMetricsF Metrics(const QFont& font) const = 0;

  // DrawStart: takes the surface, selects the black drawing pen and brush and remembers what
  // they replace; answers the surface's native handle, null when it cannot be drawn on now.
  virtual NativeHandle Begin() = 0;
  // DrawStop: puts back what Begin replaced and runs the output's release action.
  virtual void End() = 0;
  // DrawFont: the font for the texts that follow, sized for this output.
  virtual void SelectFont(const QFont& font) = 0;
  // A text of at least one character, by its top-left corner, in black.
  virtual void PutText(const PlacedText& text) = 0;
  // A picture at its own size, one picture pixel to one device pixel, its top-left pixel at
  // (x, y); `handle` is what the caller handed to DrawPicture.
  virtual void PutPicture(ImageHandle_t handle, const QImage& picture, std::int64_t x,
                          std::int64_t y) = 0;
};

class PrintDevice {
 public:
  virtual ~PrintDevice() = default;

  // PrintStart: starts a job under that document name and opens its only page; false when
  // either step fails. Called only while no job is open.
  virtual bool StartJob(const Text& documentName) = 0;
  // PrintStop: ends the page and the job; nothing when no job is open.
  virtual void StopJob() = 0;
  virtual bool JobOpen() const = 0;
  // The output that draws on the open job's page; the same object for the device's whole life
  // (PrinterTarget), which can be drawn on only while a job is open.
  virtual DrawOutput& Output() = 0;
};

// Shows the choice to the user: a printer, or null when the choice was cancelled.
using PrinterChooser = std::function<std::unique_ptr<PrintDevice>()>;

// PrinterChoose asks this chooser from now on; an empty one brings back the print dialog.
void PrinterSetChooser(PrinterChooser chooser);
