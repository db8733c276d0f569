// The screen device and the page viewer. The viewer shows one page of a
// report at a zoom; its screen device attaches to the report's publisher,
// asks for single pages, keeps a copy of the page shown and draws it into a
// page bitmap with the printer's routines at a zoomed scale. The viewer
// reaches its report through IppViewerReport.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/gdi/canvas.h"
#include "platform/ui/controls.h"
#include "platform/ui/extctrls.h"
#include "report/model/ppComm.h"
#include "report/model/ppTypes.h"
#include "report/output/ppDevice.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppPrnDev.h"
#include "report/output/ppScrollBox.h"

class TppViewer;

class TppScreenDevice : public TppRasterDevice, public IppScreenDrawing {
  CLS_DECLARE_CLASS(TppScreenDevice, TppRasterDevice)
 public:
  explicit TppScreenDevice(cls::TComponent* owner);
  ~TppScreenDevice() override;
  void BeforeDestruction() override;

  static std::string ClassDeviceName() { return "Screen"; }
  std::string DeviceName() const override { return ClassDeviceName(); }
  // "Accessing data..."; the shown page is cleared.
  void StartJob() override;
  // The shown page's number as the status.
  void CancelJob() override;
  // The page-of-count text once the publisher has seen the last page, else
  // the page's number.
  void EndJob() override;
  // With a viewer showing a report the shown page is reset; the request is
  // the first page again.
  void ResetJob() override;
  // Pages are shown before they are final.
  bool SkipsNonFinalPages() const override { return false; }
  // Only while StatusEnabled: stored, told to the viewer, messages pumped.
  void SetStatus(const std::string& text) override;
  void ReceivePage(TppPage* page) override;
  bool DrawCommand(TppDrawCommand* command) override;
  // True without a page canvas; a text is drawn opaque, and the command's
  // rectangle is copied to the viewer.
  bool RedrawCommand(TppDrawCommand* command) override;

  // What commands that draw themselves use.
  gdi::TCanvas* ScreenCanvas() override;
  // The command's rectangle on the page bitmap.
  void CalcDeviceRect(TppDrawCommand* command) override;

  // The base request; a request that raises leaves the device idle and
  // not cancelled, and its cancel event tells the viewer.
  void RequestPages() override;
  // Navigation: each asks the publisher for one page unless busy (or
  // cancelled) or the page is already shown. A number below 1 is page 1.
  void FirstPage();
  void LastPage();
  void GotoPage(int32_t pageNo);
  // Cancels the viewer's report.
  void Cancel();
  int32_t GetAbsolutePageNo() const;
  TppPage* GetPage() const { return page_.get(); }
  // The first clickable command of the shown page whose device rectangle
  // holds the point of the page bitmap (edges included).
  bool FindCommandAt(int x, int y, TppDrawCommand*& command) const;

  // Sizes and fills a new page bitmap and draws the shown page on it; a
  // page with a zero side, a display too small, a bitmap over 64 M pixels
  // or a device that draws no pages leaves no bitmap.
  void PreparePage();
  // The shown page keeps its definition, loses its commands and is
  // prepared blank.
  void ResetPage();
  // The outline tree made for the shown page goes node by node, the
  // terminal heard meanwhile (paging waits); the page makes it again when
  // asked.
  void FreeOutlineTree();

  gdi::TBitmap* PageBitmap() const { return pageBitmap_.get(); }
  int PageOffsetX() const { return x0_; }
  int PageOffsetY() const { return y0_; }
  // The page's size on the bitmap.
  int PageWidth() const { return pageWidth_; }
  int PageHeight() const { return pageHeight_; }
  double HorizontalScale() const { return scaleX_; }
  double VerticalScale() const { return scaleY_; }
  int CalculatedZoom() const { return calculatedZoom_; }
  bool StatusEnabled() const { return statusEnabled_; }
  void SetStatusEnabled(bool v) { statusEnabled_ = v; }
  // False: pages are kept but not drawn, as on a device nobody sees; there
  // is no page bitmap.
  void SetDrawsPages(bool v) { drawsPages_ = v; }
  TppViewer* Viewer() const { return viewer_; }
  // Counts the changes of the shown page's commands (a command taken
  // before a change may be gone after it).
  uint64_t PageSerial() const { return pageSerial_; }

  cls::TNotifyEvent OnPagePrepared;

  // The largest page bitmap.
  static constexpr int64_t kMaxBitmapPixels = int64_t(64) << 20;

 private:
  friend class TppViewer;
  // The bitmap and page size for the viewer's zoom; false when there is
  // nothing to make.
  bool SizePageBitmap(int& width, int& height);
  TppDeviceScale Scale() const;
  // 92 and 93 go out through the viewer's communicator (the device's own
  // without a viewer).
  void SendViewerEvent(int eventId);
  bool Designing() const;

  gdi::TCanvas* pageCanvas_ = nullptr;
  int x0_ = 0, y0_ = 0;
  cls::Owned<TppPage> page_;
  std::unique_ptr<gdi::TBitmap> pageBitmap_;
  int pageHeight_ = 0, pageWidth_ = 0;
  double scaleX_ = 1, scaleY_ = 1;
  int calculatedZoom_ = 100;
  bool statusEnabled_ = true;
  bool drawsPages_ = true;
  TppViewer* viewer_ = nullptr;
  uint64_t pageSerial_ = 0;
};

// The page viewer: a panel that shows the screen device's page bitmap in
// a paint box inside a scroll box. Published: Report, PageColor,
// ZoomPercentage, ZoomSetting and the events. It subscribes to its
// report's events (87, 89) and sends its own (92-97) through its
// communicator.
class TppViewer : public ui::TCustomPanel, public IppPageViewer {
  CLS_DECLARE_CLASS(TppViewer, ui::TCustomPanel)
 public:
  explicit TppViewer(cls::TComponent* owner);
  ~TppViewer() override;
  void BeforeDestruction() override;
  // The controls are made once loaded.
  void Loaded() override;
  // The paint box takes the cursor too; it is the normal cursor unless the
  // hand is showing.
  void SetCursor(ui::TCursor c) override;

  // The report component shown: a communicator that answers
  // IppViewerReport (another is taken as none). The screen device joins
  // its publisher; nullptr detaches.
  TppCommunicator* Report() const { return report_; }
  void SetReport(TppCommunicator* report);
  IppViewerReport* ViewerReport() const { return viewerReport_; }

  gdi::TColor PageColor() const { return pageColor_; }
  void SetPageColor(gdi::TColor v) { pageColor_ = v; }
  // Kept within 25..250; sets ZoomSetting to zsPercentage.
  int ZoomPercentage() const { return zoomPercentage_; }
  void SetZoomPercentage(int v);
  TppZoomSettingType ZoomSetting() const { return zoomSetting_; }
  // Outside loading, with a report shown: the page prepared again, the
  // scroll positions back to 0 and the display repainted.
  void SetZoomSetting(TppZoomSettingType v);

  // Navigation through the screen device.
  void GotoPage(int32_t pageNo) override;
  // Raised by a pane beside the viewer while it toggles; the preview
  // refits the page afterwards.
  bool RefitPending() const override { return refitPending_; }
  void SetRefitPending(bool v) override { refitPending_ = v; }
  void FirstPage();
  void LastPage();
  // The next page unless the shown one is the last; the prior unless on 1.
  void NextPage();
  void PriorPage();
  // Unless busy: the publisher refreshed, the display reset, the pages
  // asked for again.
  void Regenerate();
  // Unless busy: the report's auto-search dialog; regenerates on OK.
  void RunAutoSearch();
  void Cancel();
  // Moves the vertical bar by the scroll box's height (0 up, 1 down) or the
  // horizontal one by its width (2 left, 3 right); others do nothing.
  void Scroll(int direction);
  // Unless busy (the report generating too), printing already or without a
  // report: prints the report on the printer from the shown page. The
  // report's device type, its auto-search flag and the screen device come
  // back once, on event 89 or when the report's Print returns or raises,
  // whichever is first; a setup the run changed has the page asked for
  // again once Print has returned. Without a printer device class nothing
  // is printed.
  void Print();
  // The page definition follows the report's, the device's job is reset,
  // the reset handler runs and event 97 goes out.
  void ResetDisplay();

  std::string GetStatus() const { return screenDevice_->Status(); }
  bool GetBusy() const;
  int GetCalculatedZoom() const { return screenDevice_->CalculatedZoom(); }
  TppPage* GetCurrentPage() const { return screenDevice_->GetPage(); }
  int32_t GetAbsolutePageNo() const { return screenDevice_->GetAbsolutePageNo(); }
  // A lock count that never goes below 0.
  void Lock() { ++locks_; }
  void Unlock() { locks_ = locks_ > 0 ? locks_ - 1 : 0; }
  bool IsLocked() const { return locks_ > 0; }

  TppScreenDevice* ScreenDevice() const { return screenDevice_; }
  // Made on first need (nullptr while loading).
  TppScrollBox* ScrollBox();
  ui::TPaintBox* PaintBox();
  // The viewer's communicator: previews subscribe to it for 92-97.
  TppCommunicator* Communicator() const { return communicator_; }
  // The area the page bitmap is shown in.
  int DisplayWidth() const;
  int DisplayHeight() const;

  cls::TNotifyEvent OnPageChange;
  cls::TNotifyEvent OnPrintStateChange;
  cls::TNotifyEvent OnStatusChange;
  // Called after each display reset (nothing in the library sets it).
  cls::TNotifyEvent OnReset;

  static void RegisterProperties();

 protected:
  // Empty: the scroll box's own wheel handling applies.
  virtual void ScrollBoxMouseWheel(cls::TObject* Sender, ui::TShiftState Shift, int WheelDelta, win::PT MousePos,
                                   bool& Handled);

 private:
  friend class TppScreenDevice;
  friend class TppViewerCommunicator;
  // The device's calls.
  void PageDisplayed();
  void StatusChanged();
  void CopyToDisplay(const TppRect& r);
  void ShowDisplay();
  // The scroll box and paint box, once; false while loading.
  bool CreateControls();
  void UpdateScrollBars();
  // The page prepared again for a new zoom, scrolled to the top left.
  void Rezoom();
  void PaintBoxPaint(cls::TObject* Sender);
  void PaintBoxMouseMove(cls::TObject* Sender, ui::TShiftState Shift, int X, int Y);
  void PaintBoxClick(cls::TObject* Sender);
  void PrintStateChanged(cls::TObject* Sender);
  void PublisherChanged(cls::TObject* Sender);
  // The screen device joins PUBLISHER (nullptr: leaves its own).
  void AttachDevice(TppPublisher* publisher);
  // The report's events and its going.
  void ReportEvent(int eventId);
  void ReportFreed();
  void RestoreAfterPrint();
  // Moves the pointer one pixel and back so its shape follows the page.
  void RefreshPointer();
  void Broadcast(int eventId);
  void Fire(const cls::TNotifyEvent& event, int eventId);

  TppCommunicator* report_ = nullptr;
  IppViewerReport* viewerReport_ = nullptr;
  gdi::TColor pageColor_ = gdi::clWindow;
  int zoomPercentage_ = 100;
  TppZoomSettingType zoomSetting_ = zsWholePage;
  TppScreenDevice* screenDevice_ = nullptr;   // owned as a component
  TppCommunicator* communicator_ = nullptr;   // owned as a component
  TppScrollBox* scrollBox_ = nullptr;   // owned as components
  ui::TPaintBox* paintBox_ = nullptr;
  ui::TCursor normalCursor_ = ui::crDefault;
  bool handShowing_ = false;
  win::PT mouse_{};                      // the last pointer position on the paint box
  bool repainting_ = false;              // a command's rectangle is being copied
  int locks_ = 0;
  bool refitPending_ = false;
  bool attaching_ = false;
  // A printer run borrowed the report: what to give back on event 89.
  bool printRun_ = false;
  std::string savedDeviceType_;
  bool savedShowAutoSearch_ = false;
  cls::Owned<TppPrinterSetup> savedSetup_;
  bool refreshAfterPrint_ = false;       // the run changed the setup
};

// Registers the screen device (the output layer's registration calls it).
void ppRegisterViewerUnit();
