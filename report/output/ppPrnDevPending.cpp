// Placeholder until the draw commands arrive.
#include "report/output/ppPrnDev.h"
namespace ppRasterDraw {
void DrawText(gdi::TCanvas&, const TppDeviceScale&, TppDrawText*) {}
void DrawLine(gdi::TCanvas&, const TppDeviceScale&, TppDrawLine*) {}
void DrawShape(gdi::TCanvas&, const TppDeviceScale&, TppDrawShape*) {}
void DrawImage(gdi::TCanvas&, const TppDeviceScale&, TppDrawImage*) {}
}  // namespace ppRasterDraw
