#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <memory>

#include "components/skin/SkinInterfaces.h"
#include "state/MainState.h"

namespace snipwave::test {

// A skin object that remembers what was written to it. `shown*` values change
// only on Redraw, as on the real engine, so tests see what the user would see.
class FakeSkinObject final : public ISkinObject, public ISkinElement, public ISkinText, public ISkinSlider {
 public:
  explicit FakeSkinObject(QString name) : name_(std::move(name)) {}

  QString GetName() const override { return name_; }
  ISkinObject* FindObject(const QString& name) override {
    auto it = children.find(name);
    return it == children.end() ? nullptr : it->second.get();
  }
  ISkinElement* QueryElement() override { return this; }
  ISkinText* QueryText() override { return this; }
  ISkinSlider* QuerySlider() override { return this; }

  SkinRect GetBounds() const override { return bounds; }
  void SetBounds(const SkinRect& rect) override {
    bounds = rect;
    log << "SetBounds";
  }
  void SetVisible(bool v) override {
    visible = v;
    log << (v ? "SetVisible(true)" : "SetVisible(false)");
  }
  void Redraw() override {
    ++redraws;
    shownText = text;
    shownPosition = position;
    log << "Redraw";
  }
  void SetText(const QString& t) override {
    text = t;
    log << "SetText(" + t + ")";
  }
  int GetPosition() const override { return position; }
  void SetPosition(int p) override {
    position = p;
    log << QString("SetPosition(%1)").arg(p);
  }

  FakeSkinObject& AddChild(const QString& name) {
    auto& child = children[name];
    child = std::make_unique<FakeSkinObject>(name);
    return *child;
  }

  QString text, shownText;
  int position = 0, shownPosition = 0;
  SkinRect bounds;
  bool visible = true;
  int redraws = 0;
  QStringList log;
  std::map<QString, std::unique_ptr<FakeSkinObject>> children;

 private:
  QString name_;
};

// A window object with the seven display objects, bound into a state as the
// start-up does it.
class FakeSkinWindow {
 public:
  FakeSkinWindow() : window_("From") {
    for (const char* name : {"pb", "time", "begin", "end", "alltime", "pospb", "showpos"})
      window_.AddChild(name);
    object("pospb").bounds = SkinRect{20, 340, 543, 350};
  }
  FakeSkinObject& object(const QString& name) { return *window_.children.at(name); }
  FakeSkinObject& window() { return window_; }

  void BindInto(MainState& state) {
    auto bind = [&](SkinBinding& b, const char* name, bool slider) {
      FakeSkinObject& o = object(name);
      b.object = &o;
      b.element = &o;
      if (slider) b.slider = &o;
      else b.text = &o;
    };
    bind(state.pb, "pb", true);
    bind(state.time, "time", false);
    bind(state.begin, "begin", false);
    bind(state.end, "end", false);
    bind(state.alltime, "alltime", false);
    bind(state.pospb, "pospb", false);
    bind(state.showpos, "showpos", false);
    state.ProgressBarRect = object("pospb").bounds;
  }

 private:
  FakeSkinObject window_;
};

}  // namespace snipwave::test
