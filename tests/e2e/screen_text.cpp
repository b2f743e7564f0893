#include "e2e/screen_text.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>

#include "e2e/desktop_person.h"
#include "platform/draw2d/drawing_session.h"
#include "platform/gui/font_lookup.h"

namespace orelens::e2e {

namespace {

using Pixel = Screenshot::Pixel;

// ---------------------------------------------------------------- the overlay

// The overlay sprite is 450 x 100 pixels, shown at (10, 10) of the view below the menu bar.
constexpr int kHudWidth = 450, kHudHeight = 100;
constexpr int kHudScreenX = 10, kHudScreenY = 31;
constexpr int kLineRows = 20;

int Red(uint32_t rgba) {
  return static_cast<int>(rgba & 0xFF);
}
int Green(uint32_t rgba) {
  return static_cast<int>((rgba >> 8) & 0xFF);
}
int Blue(uint32_t rgba) {
  return static_cast<int>((rgba >> 16) & 0xFF);
}
int Alpha(uint32_t rgba) {
  return static_cast<int>(rgba >> 24);
}

// The overlay's font: the drawing layer's default face (loaded once, read only afterwards).
const platform::FontLibrary& HudFonts() {
  static const platform::FontLibrary fonts;
  return fonts;
}

// The line drawn as the program draws its overlay: on the translucent panel, in the colour.
platform::Image DrawHudLine(int line, const std::string& text, uint32_t rgba) {
  platform::Image sprite(kHudWidth, kHudHeight, 0);
  platform::DrawingSession drawing(&sprite, HudFonts());
  drawing.DrawingMode(platform::kDrawAlphaBlend | platform::kDrawTransparent);
  drawing.RoundBox(0, 0, kHudWidth, kHudHeight, 10, 10, platform::PackRgba(0, 0, 0, 100));
  drawing.DrawText(10, line, text, rgba);
  return sprite;
}

// Pixels of the line's rows, between the columns, that the screen shows otherwise than the
// drawing allows. The scene behind the translucent panel is unknown: a pixel of the drawing with
// colour c and alpha a comes out on the screen between c * a (over black) and c * a + 255 * (1 - a)
// (over white) in each channel.
int Disagreements(const Screenshot& shot, const platform::Image& sprite, int line, int fromX, int toX) {
  if (shot.width < kHudScreenX + kHudWidth || shot.height < kHudScreenY + kHudHeight)
    return std::numeric_limits<int>::max() / 2;
  constexpr double kRounding = 4.0;
  int count = 0;
  for (int y = line; y < std::min(kHudHeight - 1, line + kLineRows); ++y) {
    for (int x = std::max(1, fromX); x < std::min(kHudWidth - 1, toX); ++x) {
      const uint32_t drawn = sprite.at(x, y);
      const double alpha = Alpha(drawn) / 255.0;
      const Pixel seen = shot.At(kHudScreenX + x, kHudScreenY + y);
      const int channels[3][2] = {{Red(drawn), seen.r}, {Green(drawn), seen.g}, {Blue(drawn), seen.b}};
      for (const auto& [colour, shown] : channels) {
        const double overBlack = colour * alpha, overWhite = overBlack + 255.0 * (1.0 - alpha);
        if (shown < overBlack - kRounding || shown > overWhite + kRounding) {
          ++count;
          break;
        }
      }
    }
  }
  return count;
}

// Where the text drawn on the line ends: its advance, as the drawing layer measures it.
int TextEnd(int line, const std::string& text) {
  platform::Image scratch(1, 1, 0);
  platform::DrawingSession drawing(&scratch, HudFonts());
  return drawing.DrawText(10, line, text, kHudGrey);
}

// ---------------------------------------------------------------- message boxes

// The interface font as the GUI builds it: the sans-serif face at 15 pixels, ImGui's rasteriser.
constexpr float kUiFontPixels = 15.0f;
// ImGui's default style: window padding, frame padding (the title bar is the font plus twice it).
constexpr int kWindowPadding = 8;
constexpr int kTitleBarHeight = static_cast<int>(kUiFontPixels) + 2 * 3;

class InterfaceFont {
 public:
  InterfaceFont() {
    const std::string file = platform::FindFontFile("sans-serif");
    if (!file.empty()) font_ = atlas_.AddFontFromFileTTF(file.c_str(), kUiFontPixels);
    if (font_ == nullptr) font_ = atlas_.AddFontDefault();
    atlas_.GetTexDataAsAlpha8(&pixels_, &width_, &height_);
  }

  // The coverage (0..1) that the GUI puts on the screen for the text drawn with its top-left
  // corner at (0, 0): each glyph a quad at its unrounded place, its texture sampled bilinearly
  // at the pixel centres, as the GPU does.
  std::vector<float> Render(const std::string& text, int width, int height) const {
    std::vector<float> coverage(static_cast<size_t>(width) * height, 0.0f);
    float penX = 0.0f;
    for (const char c : text) {
      const ImFontGlyph* glyph = font_->FindGlyph(static_cast<ImWchar>(static_cast<unsigned char>(c)));
      if (glyph == nullptr) continue;
      const float x1 = penX + glyph->X0, x2 = penX + glyph->X1, y1 = glyph->Y0, y2 = glyph->Y1;
      penX += glyph->AdvanceX;
      if (!glyph->Visible || x2 <= x1 || y2 <= y1) continue;
      for (int py = std::max(0, static_cast<int>(std::floor(y1)));
           py < std::min(height, static_cast<int>(std::ceil(y2))); ++py) {
        const float cy = static_cast<float>(py) + 0.5f;
        if (cy < y1 || cy >= y2) continue;
        const float v = glyph->V0 + (cy - y1) / (y2 - y1) * (glyph->V1 - glyph->V0);
        for (int px = std::max(0, static_cast<int>(std::floor(x1)));
             px < std::min(width, static_cast<int>(std::ceil(x2))); ++px) {
          const float cx = static_cast<float>(px) + 0.5f;
          if (cx < x1 || cx >= x2) continue;
          const float u = glyph->U0 + (cx - x1) / (x2 - x1) * (glyph->U1 - glyph->U0);
          float& out = coverage[static_cast<size_t>(py) * width + px];
          out = std::min(1.0f, out + Sample(u, v));
        }
      }
    }
    return coverage;
  }

  int LineHeight() const { return static_cast<int>(std::ceil(font_->FontSize)); }
  float Width(const std::string& text) const {
    float width = 0;
    for (const char c : text)
      if (const ImFontGlyph* glyph = font_->FindGlyph(static_cast<ImWchar>(static_cast<unsigned char>(c))))
        width += glyph->AdvanceX;
    return width;
  }

 private:
  float Texel(int x, int y) const {
    x = std::clamp(x, 0, width_ - 1);
    y = std::clamp(y, 0, height_ - 1);
    return static_cast<float>(pixels_[static_cast<size_t>(y) * width_ + x]) / 255.0f;
  }
  float Sample(float u, float v) const {
    const float s = u * static_cast<float>(width_) - 0.5f, t = v * static_cast<float>(height_) - 0.5f;
    const int x = static_cast<int>(std::floor(s)), y = static_cast<int>(std::floor(t));
    const float fx = s - static_cast<float>(x), fy = t - static_cast<float>(y);
    const float top = Texel(x, y) * (1 - fx) + Texel(x + 1, y) * fx;
    const float bottom = Texel(x, y + 1) * (1 - fx) + Texel(x + 1, y + 1) * fx;
    return top * (1 - fy) + bottom * fy;
  }

  ImFontAtlas atlas_;
  ImFont* font_ = nullptr;
  unsigned char* pixels_ = nullptr;
  int width_ = 0, height_ = 0;
};

int Brightness(Pixel p) {
  return (p.r + p.g + p.b) / 3;
}

}  // namespace

bool HudLineShows(const Screenshot& shot, int line, const std::string& text, uint32_t rgba) {
  return Disagreements(shot, DrawHudLine(line, text, rgba), line, 0, kHudWidth) <= 2;
}

std::optional<std::string> ReadHudField(const Screenshot& shot, int line, uint32_t rgba,
                                        const std::string& prefix, char end) {
  std::string field;
  for (int position = 0; position < 16; ++position) {
    // The next character: the one whose drawing agrees best with the screen over its own columns;
    // on a tie the earlier candidate, so that a thin digit is not taken for the empty space.
    const int from = TextEnd(line, prefix + field);
    char best = 0;
    int bestMismatch = std::numeric_limits<int>::max();
    for (const char candidate : std::string("0123456789.-") + end) {
      const std::string text = prefix + field + candidate;
      // Its own columns, and a little beyond for the parts of a glyph that reach over.
      const int mismatch =
          Disagreements(shot, DrawHudLine(line, text, rgba), line, from, TextEnd(line, text) + 2);
      if (mismatch < bestMismatch) {
        bestMismatch = mismatch;
        best = candidate;
      }
    }
    if (best == end) return field.empty() ? std::nullopt : std::optional<std::string>(field);
    field += best;
  }
  return std::nullopt;
}

std::optional<int64_t> ReadHudNumber(const Screenshot& shot, int line, uint32_t rgba,
                                     const std::string& prefix, const std::string& suffix) {
  const std::optional<std::string> field =
      ReadHudField(shot, line, rgba, prefix, suffix.empty() ? ' ' : suffix[0]);
  if (!field || field->find_first_not_of("-0123456789") != std::string::npos || *field == "-" ||
      !HudLineShows(shot, line, prefix + *field + suffix, rgba))
    return std::nullopt;
  return std::stoll(*field);
}

std::optional<std::string> ReadHudPositionLine(const Screenshot& shot) {
  std::string text = "Position: X=";
  for (const char* next : {"m Y=", "m z=", "m "}) {
    const std::optional<std::string> field = ReadHudField(shot, 50, kHudGrey, text, 'm');
    if (!field) return std::nullopt;
    text += *field + next;
  }
  if (!HudLineShows(shot, 50, text, kHudGrey)) return std::nullopt;
  return text;
}

std::string HudPositionLine(float x, float y, float z) {
  const auto tenths = [](float value) {
    if (value == 0.0f) return std::string("0.0");
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(value));
    return std::string(text);
  };
  // The game's axis order: height last.
  return "Position: X=" + tenths(x) + "m Y=" + tenths(z) + "m z=" + tenths(y) + "m ";
}

std::optional<std::string> ReadMessageBoxText(const Screenshot& shot,
                                              const std::vector<std::string>& candidates) {
  static const InterfaceFont font;
  const int titleRow = DesktopPerson::ModalTitleRow(shot);
  if (titleRow < 0 || candidates.empty()) return std::nullopt;
  // The box's left edge: where its title bar ends, going left from the middle.
  int left = shot.width / 2;
  while (left > 0) {
    const Pixel p = shot.At(left - 1, titleRow + 1);  // above the title's text
    if (std::abs(p.r - 41) >= 14 || std::abs(p.g - 74) >= 14 || std::abs(p.b - 122) >= 14) break;
    --left;
  }
  const int textX = left + kWindowPadding, textY = titleRow + kTitleBarHeight + kWindowPadding;

  // One rectangle for every candidate, a little larger than the widest; the screen's coverage
  // in it, from the box's own background just above the text.
  float widest = 0;
  for (const std::string& candidate : candidates) widest = std::max(widest, font.Width(candidate));
  const int width = static_cast<int>(std::ceil(widest)) + 4, height = font.LineHeight() + 4;
  std::vector<int> background;
  for (int x = textX; x < textX + width; ++x)
    for (int y = textY - 5; y < textY - 2; ++y)
      if (x >= 0 && y >= 0 && x < shot.width && y < shot.height)
        background.push_back(Brightness(shot.At(x, y)));
  if (background.empty()) return std::nullopt;
  std::nth_element(background.begin(), background.begin() + background.size() / 2, background.end());
  const float dark = static_cast<float>(background[background.size() / 2]);

  std::optional<std::string> best;
  double bestError = std::numeric_limits<double>::max(), bestInk = 1;
  for (const std::string& candidate : candidates) {
    const std::vector<float> drawn = font.Render(candidate, width, height);
    double ink = 0;
    for (const float c : drawn) ink += c;
    // The GUI places text on whole pixels; the box's exact corner is searched around the estimate.
    for (int dy = -3; dy <= 3; ++dy) {
      for (int dx = -3; dx <= 3; ++dx) {
        double error = 0;
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) {
            const int sx = textX + dx + x, sy = textY + dy + y;
            if (sx < 0 || sy < 0 || sx >= shot.width || sy >= shot.height) continue;
            const float seen = std::clamp(
                (static_cast<float>(Brightness(shot.At(sx, sy))) - dark) / (255.0f - dark), 0.0f, 1.0f);
            const float diff = seen - drawn[static_cast<size_t>(y) * width + x];
            error += diff * diff;
          }
        }
        if (error < bestError) {
          bestError = error;
          bestInk = ink;
          best = candidate;
        }
      }
    }
  }
  // The best candidate must also explain the screen well, not merely better than the others.
  if (!best || bestError > 0.15 * bestInk) return std::nullopt;
  return best;
}

}  // namespace orelens::e2e
