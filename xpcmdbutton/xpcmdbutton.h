// xpcmdbutton: the skinned push button of the panel's and the clearing program's windows. A child
// window of its own class ("<project>.xpcmdbutton") whose whole face is painted from the skin
// strip, with its caption label `lbl` centred on it and the 10 ms hover timer `Timer1` that notices
// the pointer leaving. Its window text is its caption, so screen readers and tests read it as
// any button's.
//
// A host window describes it in its layout as it would a winapp::Button:
//
//   xpcmdbutton Command1{this, "Command1", {1733, 1125, 1215, 375}, "&OK", [this] { Command1_Click(); }};
//
// or with stored properties: {this, "Command1", place, {{"Caption", "&OK"}, {"State", 1L}}, onClick}.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "face.h"
#include "form.h"

// The font object of the control: what a host's font property holds.
struct StdFont {
  std::string Name = "MS Sans Serif";
  short Size = 8;  // points
  bool Bold = false;
  bool operator==(const StdFont&) const = default;
};

// The host's stored properties of one control instance. Reading a key that is not there gives its
// default; writing a value equal to its default stores nothing.
class PropertyBag {
 public:
  using Value = std::variant<long, bool, std::string, StdFont>;
  PropertyBag() = default;
  PropertyBag(std::initializer_list<std::pair<std::string, Value>> values) : values_(values) {}

  Value ReadProperty(const std::string& name, const Value& defaultValue) const;
  void WriteProperty(const std::string& name, const Value& value, const Value& defaultValue);
  bool Has(const std::string& name) const { return Find(name) != nullptr; }
  // The names in the order they were read or written (the control's own order).
  const std::vector<std::string>& Order() const { return order_; }

 private:
  const Value* Find(const std::string& name) const;
  std::vector<std::pair<std::string, Value>> values_;
  mutable std::vector<std::string> order_;
};

class xpcmdbutton : public winapp::Control {
 public:
  // The standard dispatch identifiers of the events, and the control's own for MouseOut.
  enum Event : long {
    EventClick = -600,
    EventKeyDown = -602,
    EventKeyPress = -603,
    EventKeyUp = -604,
    EventMouseDown = -605,
    EventMouseMove = -606,
    EventMouseUp = -607,
    EventMouseOut = 1,
  };
  static constexpr COLORREF EnabledCaptionColour = RGB(0, 0, 0);
  static constexpr COLORREF DisabledCaptionColour = RGB(161, 161, 146);
  static constexpr UINT HoverInterval = 10;

  // Described in the host's layout: the caption is the stored "Caption", the rest take their
  // defaults.
  xpcmdbutton(winapp::Form* form, const char* name, winapp::Twips place, std::string_view caption,
              std::function<void()> onClick);
  // With stored properties (read in the order State, Enabled, Caption, Font).
  xpcmdbutton(winapp::Form* form, const char* name, winapp::Twips place, const PropertyBag& stored,
              std::function<void()> onClick = {});
  // A new instance placed on a form: the host's display name as caption and its font.
  xpcmdbutton(winapp::Form* form, const char* name, winapp::Twips place);
  ~xpcmdbutton() override;

  // Properties.
  std::string Caption() const { return lbl.Caption; }
  void SetCaption(const std::string& vNewCaption);
  bool Enabled() const;
  void SetEnabled(bool New_Enabled);
  const StdFont& Font() const { return font_; }
  void SetFont(const StdFont& vNewFont);
  long State() const { return State_; }
  void SetState(long vNewValue);

  // What a winapp::Button offers, so that a host can switch between the two.
  std::string Text() const { return Caption(); }
  void SetText(std::string_view text) { SetCaption(std::string(text)); }
  void Click() { RaiseClick(); }

  // Events, delivered to the host; arguments by reference, so a handler may change them.
  std::function<void()> OnClick;
  std::function<void(short& KeyCode, short& Shift)> OnKeyDown;
  std::function<void(short& KeyAscii)> OnKeyPress;
  std::function<void(short& KeyCode, short& Shift)> OnKeyUp;
  std::function<void()> OnMouseOut;
  std::function<void(short& Button, short& Shift, float& x, float& Y)> OnMouseDown;
  std::function<void(short& Button, short& Shift, float& x, float& Y)> OnMouseMove;
  std::function<void(short& Button, short& Shift, float& x, float& Y)> OnMouseUp;
  // Every event as it is raised, by dispatch identifier (before its own handler).
  std::function<void(long dispid)> OnEvent;
  // A property reported as changed (the host's cue to store it).
  std::function<void(const char* name)> OnPropertyChanged;

  // Persistence through the host's property bag.
  void InitProperties();
  void ReadProperties(const PropertyBag& bag);
  void WriteProperties(PropertyBag& bag) const;

  // The cell painted last (what the surface shows), and the resting cell.
  short Face() const { return face_; }
  short RestCell() const { return RestCell_; }
  bool HoverTimerOn() const { return Timer1.Enabled; }
  // The caption label's place on the surface, in pixels.
  RECT CaptionRect() const;
  // The face buffer: what the surface shows under the caption.
  HDC FaceDc() const { return faceDc_.get(); }

  // Paints a cell over the whole surface; the face stays until the next DrawFace.
  void DrawFace(short& cell);

  bool Press() override;
  char AccessKey() const override { return winapp::AccessKeyOf(lbl.Caption); }

  // The first part of the window class name: the program's project name ("clear" by default from
  // the program file; the panel sets "Panel").
  static void SetProjectName(const char* name);
  static std::string ClassName();

 protected:
  void Create(HWND parent) override;
  void Destroyed() override;
  void KeepDesign() override;
  void BackToDesign() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  bool Reflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  void DpiChanged() override;

 private:
  // The caption label: windowless, transparent, sized to its text.
  struct Label {
    std::string Caption = "xpcmdbutton";
    int Left = 0, Top = 0, Width = 0, Height = 0;
    COLORREF ForeColor = EnabledCaptionColour;
  } lbl;
  // The hover timer: a timer of the control's own window.
  struct HoverTimer {
    UINT Interval = HoverInterval;
    bool Enabled = false;
  } Timer1;
  xpskin::SkinClip pc;

  long State_ = 0;
  short RestCell_ = 0;
  // The properties as designed, which every unload of the host puts back.
  struct Design {
    std::string Caption;
    long State = 0;
    short RestCell = 0;
    StdFont Font;
  } design_;
  short face_ = 0;
  StdFont font_;
  winapp::GdiObject fontHandle_;
  UINT fontDpi_ = winapp::DefaultDpi;  // the resolution fontHandle_ was made for
  winapp::MemDc faceDc_;
  winapp::GdiObject faceBitmap_;
  HGDIOBJ faceOld_ = nullptr;
  SIZE faceSize_{0, 0};
  bool pressed_ = false;
  bool settingEnabled_ = false;

  void UpdateFace();
  void MakeFontHandle();
  void Resize();
  void SizeLabel();
  void SetTimer1(bool on);
  void Timer1_Timer();
  void PropertyChanged(const char* name);
  void Raise(long dispid);
  void RaiseClick();
  void Paint();
  SIZE SurfaceSize() const;
  void ReleaseFace();
  StdFont AmbientFont() const;
  static short ButtonOf(WPARAM keys);
  static short ShiftOf(WPARAM keys);
  void MouseDown(short button, WPARAM keys, LPARAM lp);
  void MouseMove(WPARAM keys, LPARAM lp);
  void MouseUp(short button, WPARAM keys, LPARAM lp);
};
