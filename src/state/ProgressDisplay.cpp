#include "platform/MulDiv.h"
#include "state/MainState.h"

namespace snipwave {

namespace {
constexpr int kProgressBarFullWidth = 523;  // pixels at 100 %, whatever the skin's rectangle
}

void ShowProgress(MainState& state, int n) {
  if (!state.lv || state.lv->RowCount() == 0) n = 0;
  if (n > 10000) n = 10000;
  state.ProgressBarRect.right = state.ProgressBarRect.left + MulDiv(n, kProgressBarFullWidth, 10000);
  state.pospb.SetBounds(state.ProgressBarRect);
  state.pospb.Redraw();
  state.showpos.SetVisible(n != 0);
  state.showpos.SetText(QString::number(n / 100) + "%");
}

}  // namespace snipwave
