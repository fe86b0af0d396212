#include "gui/text_label.h"

CTextLabel::CTextLabel(const CRect& rect, const char* initial, CBitmap* bitmap, long /*style*/)
    : CControl(rect, nullptr, 0, bitmap) {
    setText(initial);
}

void CTextLabel::setText(const char* newText) {
    const char* next = newText ? newText : "";
    if (text == next) return;
    text = next;
    setDirty(true);
}

void CTextLabel::setFont(CFont newFont) {
    font = newFont;
    setDirty(true);
}

void CTextLabel::setFontColor(const CColor& color) {
    fontColor = color;
    setDirty(true);
}

void CTextLabel::setTransparency(bool state) {
    transparent = state;
    setDirty(true);
}

void CTextLabel::draw(CDrawContext* context) {
    if (!transparent) {
        if (background) {
            background->draw(context, size);
        } else {
            context->setFillColor(backColor);
            context->fillRect(size);
        }
    }
    context->setFont(font);
    context->setFontColor(fontColor);
    context->drawString(text.c_str(), size, kCenterText);
}
