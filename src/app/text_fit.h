#pragma once

class QWidget;

namespace gaugemon::app {

// Pixels kept clear between a control's text and the edge it would otherwise
// touch (a label's field, a button's bevel).
inline constexpr int kTextGap = 2;

// The controls keep the places of the window's template, which was laid out
// for one dialog font. A text wider than its control in the font at hand
// (another font standing in for it, the longer English words) is set
// narrower, then smaller, instead of being clipped; a control whose text
// fits keeps the dialog font. Labels, buttons, check and radio boxes, group
// box titles and the entries of drop-down lists are fitted.
void fitText(QWidget& control);

}  // namespace gaugemon::app
