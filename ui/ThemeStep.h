#pragma once
// One step of the theme's edit history. A step holds what its change replaced; undo and redo run
// the same exchange, which puts the held bytes into the theme and keeps what was there instead.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include <QUndoCommand>

namespace wqtui {

class ThemeStep : public QUndoCommand {
 public:
  using Exchange = std::function<void(std::vector<std::uint8_t>& held)>;

  // A change already made: `held` is what it replaced. Consecutive steps of one non-negative
  // key become one (typing into one field).
  ThemeStep(const QString& name, int key, std::vector<std::uint8_t> held, Exchange exchange);

  void undo() override { exchange_(held_); }
  void redo() override;
  int id() const override { return key_; }
  // The later step's change is already in the theme; this one keeps the state before both.
  bool mergeWith(const QUndoCommand* other) override { return !dropped_ && other->id() == key_; }

  std::size_t heldBytes() const { return held_.capacity(); }
  // Lets go of the held bytes to bound the history's memory; a dropped step is never undone.
  void drop();
  bool dropped() const { return dropped_; }

 private:
  Exchange exchange_;
  std::vector<std::uint8_t> held_;
  int key_;
  bool pending_ = true;  // the stack's first redo comes for a change already made
  bool dropped_ = false;
};

}  // namespace wqtui
