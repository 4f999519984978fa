#include "ui/controls/ProgressBar.h"

#include "framework/base/highContrast.h"

#include <algorithm>

#include "framework/text/measureText.h"
#include "ui/controls/elements.h"
#include "ui/layoutRules.h"

namespace ui::controls {

namespace {

constexpr uint32_t kLineLeft = 49;
constexpr uint32_t kLineTop = 554;
constexpr float kLineHeight = 50.0f;
constexpr float kMarkSize = 13.0f;
constexpr uint32_t kMarkColour = 0x4C4C4C;

} // namespace

ProgressLine::ProgressLine(float x, float y)
    : Sprite(kFullWidth, kLineHeight, x, y, kLineLeft, kLineTop, kLineLeft + static_cast<uint32_t>(kFullWidth),
             kLineTop + static_cast<uint32_t>(kLineHeight))
{
    setFraction(0.0f);
}

void ProgressLine::setFraction(float fraction)
{
    width = progressLineWidth(fraction);
    right = left + static_cast<uint32_t>(width);
}

HRESULT ProgressLine::draw(ID2D1RenderTarget *renderTarget, ID2D1Bitmap *bitmap)
{
    if (width <= 0.0f) {
        return S_OK;
    }
    return Sprite::draw(renderTarget, bitmap);
}

ProgressBar::ProgressBar(const framework::text::FontDescription &font, IDWriteFactory *factory, float x, float y)
    : Item(framework::controls::kKindComposite, 670, 60, x, y)
{
    framework::text::TextMetrics space{};
    if (!framework::text::measureText(L" ", font, kMarkSize, space)) {
        creation = E_UNEXPECTED;
    }
    track_ = sprite(x + 25, y + 20, 619, 18, 66, 522);
    fill_ = std::make_unique<ProgressLine>(x + 11, y + 4);

    auto mark = [&](const wchar_t *text, float markX, float markY) {
        marks_.push_back(label(text, font, factory, kMarkSize, kMarkColour, markX, markY));
        if (FAILED(marks_.back()->creation) && SUCCEEDED(creation)) {
            creation = marks_.back()->creation;
        }
        return marks_.back().get();
    };
    const auto *firstTick = mark(L"|", x + 30, y + 40);
    mark(L"0%", firstTick->x + firstTick->width + space.width, y + 41);
    mark(L"|", x + 336, y + 40);
    const auto *endMark = mark(L"100%", x + 604, y + 41);
    mark(L"|", endMark->x + endMark->width + space.width, y + 40);
}

void ProgressBar::setFraction(float newFraction)
{
    fraction_ = newFraction;
    fill_->setFraction(newFraction);
}

void ProgressBar::moveBy(float dx, float dy)
{
    Item::moveBy(dx, dy);
    track_->moveBy(dx, dy);
    fill_->moveBy(dx, dy);
    for (auto &mark : marks_) {
        mark->moveBy(dx, dy);
    }
}

HRESULT ProgressBar::drawComposite(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush, ID2D1Bitmap *atlas)
{
    track_->draw(renderTarget, atlas);
    fill_->draw(renderTarget, atlas);
    for (auto &mark : marks_) {
        mark->draw(renderTarget, brush);
    }
    return S_OK;
}

std::wstring ProgressBar::accessibleValue() const
{
    return progressValueText(fraction_);
}

void ProgressBar::drawHighContrast(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                                   const framework::base::SystemColours &colours)
{
    const D2D1_RECT_F track = D2D1::RectF(track_->x, track_->y, track_->x + track_->width, track_->y + track_->height);
    framework::base::fillAndOutline(renderTarget, brush, track, colours.window, colours.windowText);
    const float done = std::clamp(fraction_, 0.0f, 1.0f) * (track.right - track.left - 4.0f);
    if (done > 0.0f) {
        brush->SetColor(colours.highlight);
        renderTarget->FillRectangle(
            D2D1::RectF(track.left + 2.0f, track.top + 2.0f, track.left + 2.0f + done, track.bottom - 2.0f), brush);
    }
    for (auto &mark : marks_) {
        mark->drawIn(renderTarget, brush, colours.windowText);
    }
}

} // namespace ui::controls
