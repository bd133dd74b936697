#include "platform/message_box.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <mutex>

#include "platform/fonts.h"
#include "platform/signals.h"

namespace qavz::platform {

namespace {

constexpr int kFontPixels = 16;
constexpr int kLineHeight = 22;
constexpr int kPadding = 20;
constexpr int kMaxTextWidth = 560;
constexpr int kButtonWidth = 96;
constexpr int kButtonHeight = 28;
constexpr int kButtonGap = 10;
constexpr uint32_t kFace = 0xFFF0F0F0, kFrame = 0xFF707070, kFocus = 0xFF3070D0;

// Decodes UTF-8; a broken sequence gives U+FFFD for its first byte.
std::vector<char32_t> Decode(const std::string& s) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < s.size();) {
    uint8_t c = uint8_t(s[i]);
    int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    char32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
    bool ok = extra >= 0 && i + size_t(extra) < s.size();
    for (int k = 1; ok && k <= extra; ++k) {
      uint8_t t = uint8_t(s[i + size_t(k)]);
      ok = (t & 0xC0) == 0x80;
      cp = (cp << 6) | (t & 0x3F);
    }
    out.push_back(ok ? cp : U'\uFFFD');
    i += ok ? size_t(extra) + 1 : 1;
  }
  return out;
}

// One face for the process, opened on first use: the default Japanese face
// at the box's size, drawn in grey levels.
struct BoxFace {
  std::mutex mutex;
  bool tried = false;
  Face* face = nullptr;
};

BoxFace& TheFace() {
  static BoxFace face;
  std::lock_guard lock(face.mutex);
  if (!face.tried) {
    face.tried = true;
    FontFile file;
    if (DefaultFontFile(file)) face.face = OpenFace(FaceSpec{file, -kFontPixels});
  }
  return face;
}

// A canvas of ARGB pixels the box is drawn into.
struct Canvas {
  int width, height;
  std::vector<uint32_t> pixels;
  Canvas(int w, int h) : width(w), height(h), pixels(size_t(w) * size_t(h), kFace) {}
  void Fill(int x, int y, int w, int h, uint32_t colour) {
    for (int j = std::max(y, 0); j < std::min(y + h, height); ++j)
      for (int i = std::max(x, 0); i < std::min(x + w, width); ++i)
        pixels[size_t(j) * size_t(width) + size_t(i)] = colour;
  }
  void Frame(int x, int y, int w, int h, uint32_t colour) {
    Fill(x, y, w, 1, colour);
    Fill(x, y + h - 1, w, 1, colour);
    Fill(x, y, 1, h, colour);
    Fill(x + w - 1, y, 1, h, colour);
  }
  // Coverage `a` of ink over the face colour.
  void Blend(int x, int y, uint8_t a) {
    if (x < 0 || y < 0 || x >= width || y >= height || a == 0) return;
    uint32_t& p = pixels[size_t(y) * size_t(width) + size_t(x)];
    auto mix = [a](uint32_t bg, int shift) {
      return ((((bg >> shift) & 0xFF) * (255u - a)) / 255u) << shift;
    };
    p = 0xFF000000 | mix(p, 16) | mix(p, 8) | mix(p, 0);
  }
};

int Advance(Face* face, char32_t c) {
  int advance = GlyphAdvance(face, c);
  return advance > 0 ? advance : kFontPixels / 2;
}

void DrawGlyph(Canvas& canvas, Face* face, char32_t c, int x, int baseline) {
  GlyphImage glyph;
  if (!RenderGlyph(face, c, GlyphDepth::kGrey, glyph)) return;
  for (int row = 0; row < glyph.height; ++row)
    for (int col = 0; col < glyph.width; ++col)
      canvas.Blend(x + glyph.left + col, baseline + glyph.top + row,
                   glyph.bits[size_t(row) * size_t(glyph.pitch) + size_t(col)]);
}

// Breaks the text into lines of at most kMaxTextWidth pixels: at '\n', and
// anywhere else when a line is too long (Japanese text has no spaces).
std::vector<std::vector<char32_t>> Lines(Face* face, const std::vector<char32_t>& text, int& widest) {
  std::vector<std::vector<char32_t>> lines(1);
  int width = 0;
  widest = 0;
  for (char32_t c : text) {
    if (c == U'\r') continue;
    if (c == U'\n') {
      lines.emplace_back();
      width = 0;
      continue;
    }
    int advance = Advance(face, c);
    if (width + advance > kMaxTextWidth && !lines.back().empty()) {
      lines.emplace_back();
      width = 0;
    }
    lines.back().push_back(c);
    width += advance;
    widest = std::max(widest, width);
  }
  return lines;
}

struct Layout {
  int width, height, textTop, buttonTop;
  std::vector<SDL_Rect> buttons;
};

Layout Arrange(int textWidth, int lineCount, size_t buttonCount) {
  Layout l;
  int buttonsWidth = int(buttonCount) * kButtonWidth + int(buttonCount - 1) * kButtonGap;
  l.width = std::max(textWidth, buttonsWidth) + 2 * kPadding;
  l.width = std::max(l.width, 240);
  l.textTop = kPadding;
  l.buttonTop = l.textTop + lineCount * kLineHeight + kPadding;
  l.height = l.buttonTop + kButtonHeight + kPadding;
  int x = (l.width - buttonsWidth) / 2;
  for (size_t i = 0; i < buttonCount; ++i, x += kButtonWidth + kButtonGap)
    l.buttons.push_back(SDL_Rect{x, l.buttonTop, kButtonWidth, kButtonHeight});
  return l;
}

// The label without its '&' and the lower-case access key (0 for none).
std::pair<std::vector<char32_t>, char32_t> Label(const std::string& label) {
  std::vector<char32_t> text, in = Decode(label);
  char32_t key = 0;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == U'&' && i + 1 < in.size()) {
      key = in[i + 1] < 0x80 ? char32_t(std::tolower(int(in[i + 1]))) : in[i + 1];
      continue;
    }
    text.push_back(in[i]);
  }
  return {text, key};
}

void Draw(Canvas& canvas, Face* face, const Layout& layout, const std::vector<std::vector<char32_t>>& lines,
          const BoxSpec& spec, int focus) {
  std::fill(canvas.pixels.begin(), canvas.pixels.end(), kFace);
  int baseline = layout.textTop + kFontPixels;
  for (const auto& line : lines) {
    int x = kPadding;
    for (char32_t c : line) {
      DrawGlyph(canvas, face, c, x, baseline);
      x += Advance(face, c);
    }
    baseline += kLineHeight;
  }
  for (size_t i = 0; i < spec.buttons.size(); ++i) {
    const SDL_Rect& r = layout.buttons[i];
    canvas.Fill(r.x, r.y, r.w, r.h, 0xFFE4E4E4);
    canvas.Frame(r.x, r.y, r.w, r.h, int(i) == focus ? kFocus : kFrame);
    auto text = Label(spec.buttons[i].label).first;
    int width = 0;
    for (char32_t c : text) width += Advance(face, c);
    int x = r.x + (r.w - width) / 2;
    for (char32_t c : text) {
      DrawGlyph(canvas, face, c, x, r.y + (r.h + kFontPixels) / 2 - 2);
      x += Advance(face, c);
    }
  }
}

int ButtonAt(const Layout& layout, int x, int y) {
  for (size_t i = 0; i < layout.buttons.size(); ++i) {
    const SDL_Rect& r = layout.buttons[i];
    if (x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h) return int(i);
  }
  return -1;
}

// The modal loop: returns the chosen button's result. Events of other
// windows are kept and put back afterwards, so the main window loses none.
int RunBox(SDL_Window* window, SDL_Renderer* renderer, SDL_Texture* texture, Canvas& canvas, Face* face,
           const Layout& layout, const std::vector<std::vector<char32_t>>& lines, const BoxSpec& spec) {
  Uint32 id = SDL_GetWindowID(window);
  int focus = std::clamp(spec.defaultButton, 0, int(spec.buttons.size()) - 1);
  int result = spec.closeResult;
  bool redraw = true, done = false;
  std::vector<SDL_Event> others;
  while (!done) {
    if (TerminationRequested()) break;
    if (redraw) {
      Draw(canvas, face, layout, lines, spec, focus);
      SDL_UpdateTexture(texture, nullptr, canvas.pixels.data(), canvas.width * 4);
      SDL_RenderClear(renderer);
      SDL_RenderCopy(renderer, texture, nullptr, nullptr);
      SDL_RenderPresent(renderer);
      redraw = false;
    }
    SDL_Event e;
    if (!SDL_WaitEventTimeout(&e, 20)) continue;
    Uint32 window_ = 0;
    switch (e.type) {
      case SDL_WINDOWEVENT:
        window_ = e.window.windowID;
        break;
      case SDL_KEYDOWN:
        window_ = e.key.windowID;
        break;
      case SDL_MOUSEBUTTONUP:
        window_ = e.button.windowID;
        break;
      case SDL_TEXTINPUT:
        window_ = e.text.windowID;
        break;
      default:
        break;
    }
    if (window_ != id) {
      if (e.type != SDL_MOUSEMOTION) others.push_back(e);
      continue;
    }
    if (e.type == SDL_WINDOWEVENT) {
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) done = true;
      if (e.window.event == SDL_WINDOWEVENT_EXPOSED) redraw = true;
    } else if (e.type == SDL_MOUSEBUTTONUP && e.button.button == SDL_BUTTON_LEFT) {
      int b = ButtonAt(layout, e.button.x, e.button.y);
      if (b >= 0) result = spec.buttons[size_t(b)].result, done = true;
    } else if (e.type == SDL_KEYDOWN) {
      SDL_Keycode k = e.key.keysym.sym;
      if (k == SDLK_RETURN || k == SDLK_KP_ENTER || k == SDLK_SPACE) {
        result = spec.buttons[size_t(focus)].result, done = true;
      } else if (k == SDLK_ESCAPE) {
        done = true;
      } else if (k == SDLK_TAB || k == SDLK_RIGHT || k == SDLK_LEFT) {
        int n = int(spec.buttons.size());
        focus = (focus + (k == SDLK_LEFT ? n - 1 : 1)) % n;
        redraw = true;
      } else {
        for (const BoxButton& b : spec.buttons)
          if (k < 0x80 && Label(b.label).second == char32_t(std::tolower(int(k))))
            result = b.result, done = true;
      }
    }
  }
  for (SDL_Event& e : others) SDL_PushEvent(&e);
  return result;
}

}  // namespace

BoxSpec StandardBox(const std::string& caption, const std::string& text, unsigned type) {
  enum {
    kOk = 1,
    kCancel = 2,
    kAbort = 3,
    kRetry = 4,
    kIgnore = 5,
    kYes = 6,
    kNo = 7,
    kTryAgain = 10,
    kContinue = 11
  };
  const BoxButton ok{"OK", kOk}, cancel{"キャンセル", kCancel}, abort{"中止(&A)", kAbort},
      retry{"再試行(&R)", kRetry}, ignore{"無視(&I)", kIgnore}, yes{"はい(&Y)", kYes}, no{"いいえ(&N)", kNo},
      tryAgain{"再実行(&T)", kTryAgain}, resume{"続行(&C)", kContinue};
  BoxSpec spec{caption, text, {}, 0, kOk};
  switch (type & 0xF) {
    case 1:
      spec.buttons = {ok, cancel}, spec.closeResult = kCancel;
      break;
    case 2:
      spec.buttons = {abort, retry, ignore}, spec.closeResult = kAbort;
      break;
    case 3:
      spec.buttons = {yes, no, cancel}, spec.closeResult = kCancel;
      break;
    case 4:
      spec.buttons = {yes, no}, spec.closeResult = kNo;
      break;
    case 5:
      spec.buttons = {retry, cancel}, spec.closeResult = kCancel;
      break;
    case 6:
      spec.buttons = {cancel, tryAgain, resume}, spec.closeResult = kCancel;
      break;
    default:
      spec.buttons = {ok};
      break;
  }
  // The default button is the first, second or third by bits 8-9.
  spec.defaultButton = std::min(int((type >> 8) & 3), int(spec.buttons.size()) - 1);
  return spec;
}

std::string JapaneseFontFile() {
  FontFile file;
  return DefaultFontFile(file) ? file.path : std::string();
}

bool FontCoversText(const std::string& utf8) {
  BoxFace& face = TheFace();
  if (!face.face) return false;
  std::lock_guard lock(face.mutex);
  for (char32_t c : Decode(utf8))
    if (c >= 0x20 && !HasGlyph(face.face, c)) return false;
  return true;
}

int ShowMessageBox(const BoxSpec& spec, SDL_Window* owner) {
  if (spec.buttons.empty() || !SDL_WasInit(SDL_INIT_VIDEO)) return -1;
  BoxFace& shared = TheFace();
  if (!shared.face) return -1;
  std::lock_guard lock(shared.mutex);
  Face* face = shared.face;
  int textWidth = 0;
  auto lines = Lines(face, Decode(spec.text), textWidth);
  Layout layout = Arrange(textWidth, int(lines.size()), spec.buttons.size());
  SDL_Window* window = SDL_CreateWindow(spec.caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        layout.width, layout.height, SDL_WINDOW_HIDDEN);
  if (!window) return -1;
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  SDL_Texture* texture = renderer
                             ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                                 SDL_TEXTUREACCESS_STREAMING, layout.width, layout.height)
                             : nullptr;
  int result = -1;
  if (texture) {
    // Owned before it is mapped (and after the renderer, which may remake
    // the window), so the window manager sees the runtime's dialog.
    if (owner) SDL_SetWindowModalFor(window, owner);
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    Canvas canvas(layout.width, layout.height);
    result = RunBox(window, renderer, texture, canvas, face, layout, lines, spec);
  }
  if (texture) SDL_DestroyTexture(texture);
  if (renderer) SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(window);
  return result;
}

}  // namespace qavz::platform
