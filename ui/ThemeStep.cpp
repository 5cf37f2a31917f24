#include "ui/ThemeStep.h"

#include <utility>

namespace wqtui {

ThemeStep::ThemeStep(const QString& name, int key, std::vector<std::uint8_t> held,
                     Exchange exchange)
    : QUndoCommand(name), exchange_(std::move(exchange)), held_(std::move(held)), key_(key) {}

void ThemeStep::redo() {
  if (std::exchange(pending_, false)) return;
  exchange_(held_);
}

void ThemeStep::drop() {
  std::vector<std::uint8_t>().swap(held_);
  dropped_ = true;
}

}  // namespace wqtui
