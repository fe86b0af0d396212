// CTextLabel: one line of text, centred in its rectangle, over a background
// bitmap or colour, or over whatever lies beneath when transparent. It takes
// no mouse presses.
#pragma once

#include "gui/control.h"

#include <string>

class CTextLabel : public CControl {
public:
    // The style word is taken for callers that pass one; no style bit changes the drawing.
    CTextLabel(const CRect& size, const char* text = nullptr, CBitmap* background = nullptr,
               long style = 0);

    void draw(CDrawContext* context) override;

    // Null clears the text. Marks the label for redrawing when the text changes.
    void setText(const char* newText);
    const char* getText() const { return text.c_str(); }

    void setFont(CFont newFont);
    CFont getFont() const { return font; }
    void setFontColor(const CColor& color);
    CColor getFontColor() const { return fontColor; }
    void setTransparency(bool state);

protected:
    std::string text;
    CFont font = kNormalFont;
    CColor fontColor = kWhiteCColor;
    CColor backColor = kBlackCColor;
    bool transparent = false;
};
