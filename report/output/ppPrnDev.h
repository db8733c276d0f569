// The printer device: prints the pages it receives through a printer
// object, with collated and uncollated copies and a cancel dialog that
// shows its progress. Its text, line, shape and picture drawing are
// routines over a canvas and a device scale, shared with the other raster
// devices.
#pragma once
#include <string>

#include "platform/gdi/canvas.h"
#include "report/model/ppIntf.h"
#include "report/output/ppDevice.h"
#include "report/output/ppPrintr.h"

class TppCustomCancelDialog;
class TppDrawText;
class TppDrawLine;
class TppDrawShape;
class TppDrawImage;

namespace gdi {
class TGraphic;
class TPicture;
}  // namespace gdi

// Where a raster device draws: its pixels per inch and the device pixel
// of the page's top-left corner. It answers printer-pixel conversions as a
// printer of that resolution would.
//
// A zoomed scale is the screen's: device pixels are the page's pixels at
// the resolution times ZoomX x ZoomY, a rectangle's far edges come from the
// sum of its rounded position and size, lines and pens grow with ZoomX,
// fonts with ZoomY (under their TrueType names), and memo text is fitted
// into its rectangle.
class TppDeviceScale : public cls::TObject, public IppPrinterMetrics {
 public:
  TppDeviceScale(int ppiX, int ppiY, int offsetX = 0, int offsetY = 0);
  // A zoomed scale.
  TppDeviceScale(int ppiX, int ppiY, int offsetX, int offsetY, double zoomX, double zoomY);
  void GetPixelsPerInch(int& x, int& y) override;

  bool Zoomed() const { return zoomed_; }
  double ZoomX() const { return zoomX_; }
  double ZoomY() const { return zoomY_; }
  // An unzoomed length in device pixels scaled by the zoom, rounded.
  int Zoom(int pixels, TppDirection direction) const;

  int PixelsPerInchX() const { return ppiX_; }
  int PixelsPerInchY() const { return ppiY_; }
  int OffsetX() const { return offsetX_; }
  int OffsetY() const { return offsetY_; }
  // A length in thousandths of a millimetre as device pixels (truncated).
  int ToPixels(int64_t mmThousandths, TppDirection direction) const;
  // A position on the page as a device pixel (offset added).
  int ToDeviceX(int64_t mmThousandths) const { return ToPixels(mmThousandths, ppHorizontal) + offsetX_; }
  int ToDeviceY(int64_t mmThousandths) const { return ToPixels(mmThousandths, ppVertical) + offsetY_; }
  // Screen pixels as device pixels.
  int FromScreenPixels(int pixels, TppDirection direction) const;
  // The command's rectangle in device pixels.
  TppRect DeviceRect(const TppDrawCommand* command) const;

 private:
  int ppiX_, ppiY_, offsetX_, offsetY_;
  bool zoomed_ = false;
  double zoomX_ = 1, zoomY_ = 1;
};

// The drawing of the common draw commands on a raster device's canvas.
namespace ppRasterDraw {

void DrawText(gdi::TCanvas& canvas, const TppDeviceScale& scale, TppDrawText* command);
void DrawLine(gdi::TCanvas& canvas, const TppDeviceScale& scale, TppDrawLine* command);
void DrawShape(gdi::TCanvas& canvas, const TppDeviceScale& scale, TppDrawShape* command);
void DrawImage(gdi::TCanvas& canvas, const TppDeviceScale& scale, TppDrawImage* command);
// The image's target rectangle within BOUNDS for a picture of the given
// size (device pixels): stretched, kept in aspect, centred or at the corner.
TppRect ImageTarget(const TppRect& bounds, int width, int height, bool stretch, bool keepAspect, bool center);
// The three ways a picture reaches the canvas.
void DrawGraphic(gdi::TCanvas& canvas, const win::RECT& target, gdi::TGraphic& graphic, bool transparent);
void DrawBitmap(gdi::TCanvas& canvas, const win::RECT& target, gdi::TBitmap& bitmap, bool transparent);
void DrawMetafile(gdi::TCanvas& canvas, const TppDeviceScale& scale, TppDrawImage* command, gdi::TGraphic& graphic);

}  // namespace ppRasterDraw

using TppPageDrawEvent = cls::TMethodPointer<void(cls::TObject* Sender, TppPage* aPage)>;

class TppPrinterDevice : public TppRasterDevice {
  CLS_DECLARE_CLASS(TppPrinterDevice, TppRasterDevice)
 public:
  explicit TppPrinterDevice(cls::TComponent* owner);
  ~TppPrinterDevice() override;
  // A document still open is ended here (never throws).
  void BeforeDestruction() override;

  static std::string ClassDeviceName() { return "Printer"; }
  std::string DeviceName() const override { return ClassDeviceName(); }
  void CancelJob() override;
  bool DrawCommand(TppDrawCommand* command) override;
  void EndJob() override;
  void ReceivePage(TppPage* page) override;
  void StartJob() override;

  // Virtual operations it introduces, in slot order.
  // True when the last collated copy is done; else the pages are asked
  // for again and the job goes on.
  virtual bool NextCopy();
  virtual void DrawShape(TppDrawShape* command);
  virtual void DrawLine(TppDrawLine* command);
  virtual void DrawImage(TppDrawImage* command);
  virtual void DrawText(TppDrawText* command);

  // Writes the command's device rectangle.
  void CalcDeviceRect(TppDrawCommand* command);
  // The progress text for PAGE (nullptr: the job starts), shown on the
  // cancel dialog.
  void UpdateStatus(TppPage* page);

  TppPrinter* Printer() const { return printer_.get(); }
  // The printer's canvas while a job runs, else nullptr.
  gdi::TCanvas* Canvas() const { return canvas_; }
  // Pixels per inch and the page's offset on the current page.
  TppDeviceScale Scale();
  int CopiesLeft() const { return copiesLeft_; }

  TppPageDrawEvent OnStartPage;
  TppPageDrawEvent OnEndPage;

 protected:
  void StartPage(TppPage* page);
  void EndPage(TppPage* page);

 private:
  void PrintPage(TppPage* page);
  void EndDocument();

  gdi::TCanvas* canvas_ = nullptr;
  int copiesLeft_ = 1;
  bool firstPage_ = true;
  // The request as the job started: each collated copy asks for it again
  // (a page list is struck off as its pages arrive).
  TppPageRequest jobRequest_;
  // The printer's setup as the job started: its printer, copies and
  // collation hold for every page.
  TppPrinterSetup jobSetup_;
  int pageOffsetX_ = 0, pageOffsetY_ = 0;
  cls::Owned<TppPrinter> printer_;
};
