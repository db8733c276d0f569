// Drawing engines: where a context's operations go. A paged engine takes
// a document a page at a time (printers); an immediate engine draws each
// operation as it comes (memory bitmaps now, the screen and the preview
// later). Every context draws through one, chosen once from its kind.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/spool/printerdef.h"

namespace gdi {

// Why a document step failed: an error code for the caller and a text for
// the job record and the message the user reads.
struct Failure {
  win::DWORD code = 0;
  std::string text;
};

// Keeps WHY as the job's cause unless it has one already.
void KeepFirstFailure(Job& job, const Failure& why);

class Engine {
 public:
  virtual ~Engine() = default;

  // A document: Begin gets the job as StartDoc made it and the first
  // page's size (tenths of a mm); the engine numbers it and names its
  // files. End leaves the job "done" or "failed", Abort "aborted". A false
  // answer carries the cause.
  virtual bool BeginDocument(Job& job, int widthTenths, int heightTenths, Failure& why);
  virtual bool AddPage(Job& job, Page& page, Failure& why);
  virtual bool EndDocument(Job& job, Failure& why);
  virtual void AbortDocument(Job& job);

  // Immediate engines draw each operation on their surface at once.
  virtual bool Immediate() const { return false; }
  virtual void Draw(const Op& op);
};

// PIXELS (WIDTH x HEIGHT, 0x..RRGGBB, rows top down) as a PNG in the depth
// they need: 1-bit grey when every pixel is black or white, 8-bit grey when
// every one is grey, else 8-bit RGB; compressed for speed. Each piece goes
// to WRITE; false when a write or the encoder failed.
bool WritePixelsPng(const std::vector<std::uint32_t>& pixels, int width, int height,
                    const std::function<bool(const unsigned char*, size_t)>& write);

// The engine of a printing context for DEF's back end.
std::unique_ptr<Engine> MakePrinterEngine(const spool::PrinterDef& def);

// Draws on 32-bit pixels (0xAARRGGBB, rows top down) at once. Its target
// is a memory bitmap's pixels; as a paged engine it draws each page on a
// white target of the page's size (the preview's way).
class RasterEngine : public Engine {
 public:
  // The largest side cairo can draw on.
  static constexpr int kMaxSide = 32767;

  RasterEngine() = default;
  // Shares PIXELS (WIDTH x HEIGHT) with their owner; nullptr draws nowhere.
  void SetTarget(std::shared_ptr<std::vector<std::uint32_t>> pixels, int width, int height);
  const std::shared_ptr<std::vector<std::uint32_t>>& Pixels() const { return pixels_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Draws PAGE on a new white target of its size; false when it is too
  // large for an image.
  bool DrawPage(const Page& page, Failure& why);
  bool AddPage(Job& job, Page& page, Failure& why) override;
  bool Immediate() const override { return true; }
  void Draw(const Op& op) override;

 private:
  void DrawOps(const Op* ops, size_t count);
  std::shared_ptr<std::vector<std::uint32_t>> pixels_;
  int width_ = 0, height_ = 0;
};

}  // namespace gdi
