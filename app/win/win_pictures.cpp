#include "app/win/win_pictures.h"

#include <algorithm>
#include <cmath>

namespace winui {

namespace {

const COLORREF kDeep = RGB(16, 78, 92);
const COLORREF kSea = RGB(28, 128, 140);
const COLORREF kLeaf = RGB(120, 196, 150);
const COLORREF kCorner = RGB(220, 232, 234);

// GDI has no anti-aliasing: the pictures are drawn this many times larger and
// shrunk with HALFTONE, which smooths their edges.
constexpr int kSuper = 4;

struct PointF {
  double x, y;
};

POINT P(PointF p) { return {static_cast<LONG>(std::lround(p.x)), static_cast<LONG>(std::lround(p.y))}; }

COLORREF Darker(COLORREF c, double factor) {
  return RGB(static_cast<int>(GetRValue(c) / factor), static_cast<int>(GetGValue(c) / factor),
             static_cast<int>(GetBValue(c) / factor));
}

// A pen of `width` pixels with round ends.
HPEN RoundPen(COLORREF color, double width) {
  LOGBRUSH brush{BS_SOLID, color, 0};
  return ::ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND,
                        std::max<DWORD>(1, static_cast<DWORD>(std::lround(width))), &brush, 0, nullptr);
}

// Selects a pen and a brush for the life of the object, then deletes them.
struct Tools {
  HDC dc;
  HGDIOBJ oldPen, oldBrush;
  HPEN pen;
  HBRUSH brush;
  Tools(HDC d, HPEN p, HBRUSH b) : dc(d), pen(p), brush(b) {
    oldPen = ::SelectObject(dc, p ? static_cast<HGDIOBJ>(p) : ::GetStockObject(NULL_PEN));
    oldBrush = ::SelectObject(dc, b ? static_cast<HGDIOBJ>(b) : ::GetStockObject(NULL_BRUSH));
  }
  ~Tools() {
    ::SelectObject(dc, oldPen);
    ::SelectObject(dc, oldBrush);
    if (pen) ::DeleteObject(pen);
    if (brush) ::DeleteObject(brush);
  }
};

// One sheet of a text file: a white page with a folded corner and a few lines.
void DrawSheet(HDC dc, double left, double top, double w, double h, COLORREF ink, double scale) {
  const double fold = w * 0.28, right = left + w, bottom = top + h;
  {
    Tools t(dc, RoundPen(Darker(ink, 1.3), scale), ::CreateSolidBrush(RGB(255, 255, 255)));
    POINT sheet[] = {P({left, top}), P({right - fold, top}), P({right, top + fold}), P({right, bottom}),
                     P({left, bottom})};
    ::Polygon(dc, sheet, 5);
  }
  {
    Tools t(dc, RoundPen(Darker(ink, 1.3), scale), ::CreateSolidBrush(kCorner));
    POINT corner[] = {P({right - fold, top}), P({right - fold, top + fold}), P({right, top + fold})};
    ::Polygon(dc, corner, 3);
  }
  Tools t(dc, RoundPen(ink, std::max(scale, h / 28.0)), nullptr);
  const double margin = w * 0.16;
  for (int i = 0; i < 5; ++i) {
    const double y = top + fold + (i + 1) * (h - fold - margin) / 6.0;
    const double lineRight = right - margin - (i % 2) * w * 0.18;
    POINT line[] = {P({left + margin, y}), P({lineRight, y})};
    ::Polyline(dc, line, 2);
  }
}

// An arrow from `from` to `to`, drawn as a curve with a head.
void DrawFlow(HDC dc, PointF from, PointF to, COLORREF color, double width) {
  const PointF mid{(from.x + to.x) / 2, (from.y + to.y) / 2};
  const PointF control{from.x, mid.y};  // the quadratic curve's control point, as a cubic
  POINT curve[] = {P(from), P({from.x + 2.0 / 3 * (control.x - from.x), from.y + 2.0 / 3 * (control.y - from.y)}),
                   P({to.x + 2.0 / 3 * (control.x - to.x), to.y + 2.0 / 3 * (control.y - to.y)}), P(to)};
  {
    Tools t(dc, RoundPen(color, width), nullptr);
    ::PolyBezier(dc, curve, 4);
  }
  Tools t(dc, nullptr, ::CreateSolidBrush(color));
  POINT head[] = {P({to.x, to.y + width * 1.8}), P({to.x - width * 1.6, to.y - width * 0.8}),
                  P({to.x + width * 1.6, to.y - width * 0.8})};
  ::Polygon(dc, head, 3);
}

// A 32-bit DIB section of w x h selected into a new memory DC.
struct Canvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  Canvas(int w, int h) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    dc = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dc && bitmap) old = ::SelectObject(dc, bitmap);
  }
  bool ok() const { return dc && bitmap; }
  // Gives the bitmap to the caller.
  HBITMAP Take() {
    ::SelectObject(dc, old);
    HBITMAP b = bitmap;
    bitmap = nullptr;
    return b;
  }
  ~Canvas() {
    if (bitmap) {
      ::SelectObject(dc, old);
      ::DeleteObject(bitmap);
    }
    if (dc) ::DeleteDC(dc);
  }
};

// `big` (kSuper times w x h) shrunk to w x h with smoothing.
HBITMAP Shrink(Canvas& big, int w, int h) {
  Canvas small(w, h);
  if (!small.ok()) return nullptr;
  ::SetStretchBltMode(small.dc, HALFTONE);
  ::SetBrushOrgEx(small.dc, 0, 0, nullptr);
  ::StretchBlt(small.dc, 0, 0, w, h, big.dc, 0, 0, w * kSuper, h * kSuper, SRCCOPY);
  return small.Take();
}

// `text` centred in the band from `top` to `bottom`, in a font `pixels` high.
void DrawCentred(HDC dc, const wchar_t* text, int width, int top, int bottom, int pixels, bool bold, COLORREF color) {
  HFONT font = ::CreateFontW(-pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH,
                             L"Segoe UI");
  HGDIOBJ old = ::SelectObject(dc, font);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, color);
  RECT r{0, top, width, bottom};
  ::DrawTextW(dc, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  ::SelectObject(dc, old);
  ::DeleteObject(font);
}

}  // namespace

HBITMAP WelcomeBitmap(int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  Canvas c(width * kSuper, height * kSuper);
  if (!c.ok()) return nullptr;
  const double W = width * kSuper, H = height * kSuper, s = kSuper;
  // The sky: from the sea's colour at the top to the deep one at the bottom.
  const int bands = 64;
  for (int i = 0; i < bands; ++i) {
    const double t = (i + 0.5) / bands;
    const COLORREF color = RGB(static_cast<int>(GetRValue(kSea) + t * (GetRValue(kDeep) - GetRValue(kSea))),
                               static_cast<int>(GetGValue(kSea) + t * (GetGValue(kDeep) - GetGValue(kSea))),
                               static_cast<int>(GetBValue(kSea) + t * (GetBValue(kDeep) - GetBValue(kSea))));
    RECT band{0, static_cast<LONG>(H * i / bands), static_cast<LONG>(W), static_cast<LONG>(H * (i + 1) / bands)};
    HBRUSH brush = ::CreateSolidBrush(color);
    ::FillRect(c.dc, &band, brush);
    ::DeleteObject(brush);
  }
  // Three establishment files at the top...
  const double w = W * 0.24, h = w * 1.3, top = H * 0.10;
  const double xs[3] = {W * 0.10, W * 0.38, W * 0.66};
  for (int i = 0; i < 3; ++i) DrawSheet(c.dc, xs[i], top + (i == 1 ? 0 : h * 0.12), w, h, kSea, s);
  // ...flow into one file below.
  const double bigW = W * 0.44, bigH = bigW * 1.3;
  const double bigLeft = (W - bigW) / 2, bigTop = H * 0.47;
  for (int i = 0; i < 3; ++i) {
    const PointF from{xs[i] + w / 2, top + h * 1.2};
    const PointF to{bigLeft + bigW / 2 + (i - 1) * bigW * 0.22, bigTop - W * 0.05};
    DrawFlow(c.dc, from, to, kLeaf, std::max(2.0 * s, W / 60.0));
  }
  DrawSheet(c.dc, bigLeft, bigTop, bigW, bigH, kDeep, s);
  const PointF tick{bigLeft + bigW - bigW * 0.12, bigTop + bigH - bigW * 0.12};
  const double radius = bigW * 0.16;
  {
    Tools t(c.dc, nullptr, ::CreateSolidBrush(kLeaf));
    ::Ellipse(c.dc, static_cast<int>(tick.x - radius), static_cast<int>(tick.y - radius),
              static_cast<int>(tick.x + radius), static_cast<int>(tick.y + radius));
  }
  {
    const double k = bigW * 0.08;
    Tools t(c.dc, RoundPen(RGB(255, 255, 255), std::max(2.0 * s, W / 55.0)), nullptr);
    POINT mark[] = {P({tick.x - k, tick.y}), P({tick.x - k * 0.3, tick.y + k * 0.7}), P({tick.x + k, tick.y - k * 0.7})};
    ::Polyline(c.dc, mark, 3);
  }
  DrawCentred(c.dc, L"Quelvar", static_cast<int>(W), static_cast<int>(H * 0.84), static_cast<int>(H * 0.94),
              std::max(12 * kSuper, static_cast<int>(W / 7)), true, RGB(255, 255, 255));
  DrawCentred(c.dc, L"Pis/Cofins", static_cast<int>(W), static_cast<int>(H * 0.91), static_cast<int>(H * 0.98),
              std::max(9 * kSuper, static_cast<int>(W / 15)), false, RGB(210, 235, 235));
  return Shrink(c, width, height);
}

HBITMAP HeaderBitmap(int side, COLORREF background) {
  if (side <= 0) return nullptr;
  Canvas c(side * kSuper, side * kSuper);
  if (!c.ok()) return nullptr;
  const double S = side * kSuper, s = kSuper;
  RECT all{0, 0, static_cast<LONG>(S), static_cast<LONG>(S)};
  HBRUSH back = ::CreateSolidBrush(background);
  ::FillRect(c.dc, &all, back);
  ::DeleteObject(back);
  {
    Tools t(c.dc, nullptr, ::CreateSolidBrush(kDeep));
    const int corner = static_cast<int>(S * 0.36);
    ::RoundRect(c.dc, 0, 0, static_cast<int>(S), static_cast<int>(S), corner, corner);
  }
  // Two small files at the top corners flow into one larger file below.
  const double w = S * 0.24, h = w * 1.3;
  DrawSheet(c.dc, S * 0.10, S * 0.08, w, h, kSea, s * 0.6);
  DrawSheet(c.dc, S * 0.66, S * 0.08, w, h, kSea, s * 0.6);
  const double mLeft = S * 0.34, mTop = S * 0.46, mW = S * 0.32;
  const double flow = std::max(1.2 * s, S / 30.0);
  DrawFlow(c.dc, {S * 0.22, S * 0.08 + h + flow}, {mLeft + flow, mTop + S * 0.06}, kLeaf, flow);
  DrawFlow(c.dc, {S * 0.78, S * 0.08 + h + flow}, {mLeft + mW - flow, mTop + S * 0.06}, kLeaf, flow);
  DrawSheet(c.dc, mLeft, mTop, mW, mW * 1.3, kDeep, s * 0.6);
  return Shrink(c, side, side);
}

void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y) {
  if (!bitmap) return;
  BITMAP info{};
  ::GetObjectW(bitmap, sizeof info, &info);
  HDC source = ::CreateCompatibleDC(dc);
  HGDIOBJ old = ::SelectObject(source, bitmap);
  ::BitBlt(dc, x, y, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
  ::SelectObject(source, old);
  ::DeleteDC(source);
}

}  // namespace winui
