// Replaying kept operations stretched into another rectangle, and their
// bounds.
#include <algorithm>
#include <climits>
#include <cmath>

#include "dc_internal.h"

namespace gdi {
namespace {

int ToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(std::lround(v));
}

win::RECT Ordered(win::RECT r) {
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  return r;
}

// From the frame's pixels to the destination's.
struct Mapping {
  double fx, fy, dx, dy, sx, sy;
  int X(int x) const { return ToInt(dx + (x - fx) * sx); }
  int Y(int y) const { return ToInt(dy + (y - fy) * sy); }
  win::PT P(win::PT p) const { return {X(p.x), Y(p.y)}; }
  win::RECT Corners(const win::RECT& r) const { return {X(r.left), Y(r.top), X(r.right), Y(r.bottom)}; }
  win::RECT R(const win::RECT& r) const { return Ordered(Corners(r)); }
  int Size(int v, double s) const { return v <= 0 ? v : std::max(1, ToInt(v * s)); }
  int PenWidth(int w) const { return Size(w, (sx + sy) / 2); }

  void operator()(TextOp& o) const {
    // Character positions from the summed advances, so rounding does not
    // pile up along the line.
    int start = X(o.origin.x);
    long long sum = 0;
    int prev = start;
    for (int& a : o.advances) {
      sum += a;
      int next = X(static_cast<int>(std::clamp<long long>(o.origin.x + sum, INT_MIN, INT_MAX)));
      a = next - prev;
      prev = next;
    }
    o.origin = P(o.origin);
    o.em = Size(o.em, sy);
    o.ascent = Size(o.ascent, sy);
    o.descent = Size(o.descent, sy);
  }
  void operator()(LineOp& o) const {
    for (auto& p : o.points) p = P(p);
    o.pen.width = PenWidth(o.pen.width);
  }
  void operator()(PolygonOp& o) const {
    for (auto& p : o.points) p = P(p);
    o.pen.width = PenWidth(o.pen.width);
  }
  void operator()(RectOp& o) const {
    o.bounds = R(o.bounds);
    o.pen.width = PenWidth(o.pen.width);
  }
  void operator()(RoundRectOp& o) const {
    o.bounds = R(o.bounds);
    o.corner = {Size(o.corner.cx, sx), Size(o.corner.cy, sy)};
    o.pen.width = PenWidth(o.pen.width);
  }
  void operator()(EllipseOp& o) const {
    o.bounds = R(o.bounds);
    o.pen.width = PenWidth(o.pen.width);
  }
  void operator()(FillOp& o) const { o.rect = R(o.rect); }
  void operator()(ImageOp& o) const { o.dest = Corners(o.dest); }  // a mirrored image stays mirrored
};

std::optional<win::RECT> Intersect(const std::optional<win::RECT>& a, const std::optional<win::RECT>& b) {
  if (!a) return b;
  if (!b) return a;
  win::RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
              std::min(a->bottom, b->bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

void Extend(win::RECT& acc, bool& any, win::RECT r) {
  r = Ordered(r);
  if (!any) {
    acc = r;
    any = true;
    return;
  }
  acc.left = std::min(acc.left, r.left);
  acc.top = std::min(acc.top, r.top);
  acc.right = std::max(acc.right, r.right);
  acc.bottom = std::max(acc.bottom, r.bottom);
}

win::RECT PointsBounds(const std::vector<win::PT>& pts, int penWidth) {
  win::RECT r{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  for (const auto& p : pts) {
    r.left = std::min(r.left, p.x), r.top = std::min(r.top, p.y);
    r.right = std::max(r.right, p.x), r.bottom = std::max(r.bottom, p.y);
  }
  int half = std::max(1, penWidth) / 2;
  auto grow = [](int v, int d) { return static_cast<int>(std::clamp<long long>(static_cast<long long>(v) + d, INT_MIN, INT_MAX)); };
  return {grow(r.left, -half), grow(r.top, -half), grow(r.right, half + 1), grow(r.bottom, half + 1)};
}

}  // namespace

void PlayOperations(win::HDC dc, const std::vector<Op>& ops, const win::RECT& frame, const win::RECT& dest) {
  if (!win::Valid(dc)) return;
  const double fw = static_cast<double>(frame.right) - frame.left, fh = static_cast<double>(frame.bottom) - frame.top;
  const double dw = static_cast<double>(dest.right) - dest.left, dh = static_cast<double>(dest.bottom) - dest.top;
  if (fw <= 0 || fh <= 0 || dw <= 0 || dh <= 0) return;
  const Mapping map{static_cast<double>(frame.left), static_cast<double>(frame.top), static_cast<double>(dest.left),
                    static_cast<double>(dest.top), dw / fw, dh / fh};
  for (const Op& op : ops) {
    Drawing what = op.what;
    std::visit(map, what);
    Op out = win::NewOp(dc, std::move(what));
    if (op.clip) out.clip = Intersect(out.clip, win::ToDevice(dc, map.R(*op.clip)));
    win::Emit(dc, std::move(out));
  }
}

win::RECT OperationBounds(const std::vector<Op>& ops) {
  win::RECT acc{};
  bool any = false;
  struct Visit {
    win::RECT& acc;
    bool& any;
    void operator()(const TextOp& o) const {
      long long w = 0;
      for (int a : o.advances) w += a;
      Extend(acc, any,
             {o.origin.x, o.origin.y, static_cast<int>(std::clamp<long long>(o.origin.x + w, INT_MIN, INT_MAX)),
              static_cast<int>(std::clamp<long long>(static_cast<long long>(o.origin.y) + o.ascent + o.descent,
                                                     INT_MIN, INT_MAX))});
    }
    void operator()(const LineOp& o) const {
      if (!o.points.empty()) Extend(acc, any, PointsBounds(o.points, o.pen.width));
    }
    void operator()(const PolygonOp& o) const {
      if (!o.points.empty()) Extend(acc, any, PointsBounds(o.points, o.pen.width));
    }
    void operator()(const RectOp& o) const { Extend(acc, any, o.bounds); }
    void operator()(const RoundRectOp& o) const { Extend(acc, any, o.bounds); }
    void operator()(const EllipseOp& o) const { Extend(acc, any, o.bounds); }
    void operator()(const FillOp& o) const { Extend(acc, any, o.rect); }
    void operator()(const ImageOp& o) const { Extend(acc, any, o.dest); }
  };
  for (const Op& op : ops) std::visit(Visit{acc, any}, op.what);
  return acc;
}

}  // namespace gdi
