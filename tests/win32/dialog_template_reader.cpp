#include "win32/dialog_template_reader.h"

#include <cstring>

namespace fwu::test {

namespace {

// Reads the template's fields in order; every field is 16-bit aligned, every control 32-bit.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint16_t Word() {
    std::uint16_t value = 0;
    if (offset_ + 2 <= size_) {
      std::memcpy(&value, data_ + offset_, 2);
    }
    offset_ += 2;
    return value;
  }
  std::uint32_t Dword() {
    const std::uint32_t low = Word();
    return low | (static_cast<std::uint32_t>(Word()) << 16U);
  }
  std::int16_t Short() { return static_cast<std::int16_t>(Word()); }
  std::wstring String() {
    std::wstring text;
    while (offset_ < size_) {
      const std::uint16_t unit = Word();
      if (unit == 0) {
        break;
      }
      text += static_cast<wchar_t>(unit);
    }
    return text;
  }
  // A name or an ordinal: 0xFFFF introduces a number, 0 means none, else a string.
  void NameOrOrdinal(int& ordinal, std::wstring& name) {
    const std::uint16_t first = Word();
    if (first == 0xFFFF) {
      ordinal = Word();
      return;
    }
    if (first == 0) {
      return;
    }
    offset_ -= 2;
    name = String();
  }
  void AlignTo(std::size_t alignment) { offset_ = (offset_ + alignment - 1) & ~(alignment - 1); }
  bool Done() const { return offset_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
};

std::string ClassName(int ordinal, const std::wstring& name) {
  switch (ordinal) {
    case 0x80:
      return "Button";
    case 0x81:
      return "Edit";
    case 0x82:
      return "Static";
    case 0x83:
      return "ListBox";
    case 0x84:
      return "ScrollBar";
    case 0x85:
      return "ComboBox";
    default:
      break;
  }
  return std::string(name.begin(), name.end());
}

}  // namespace

std::optional<ResourceDialog> ReadDialogTemplate(HMODULE module, int id, WORD language) {
  HRSRC resource =
      language == 0 ? FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5))
                    : FindResourceExA(module, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(id), language);
  if (resource == nullptr) {
    return std::nullopt;
  }
  HGLOBAL loaded = LoadResource(module, resource);
  const auto* data = static_cast<const std::uint8_t*>(LockResource(loaded));
  if (data == nullptr) {
    return std::nullopt;
  }
  Reader reader(data, SizeofResource(module, resource));
  ResourceDialog dialog;
  dialog.style = reader.Dword();
  reader.Dword();  // extended style
  const std::uint16_t count = reader.Word();
  dialog.x = reader.Short();
  dialog.y = reader.Short();
  dialog.width = reader.Short();
  dialog.height = reader.Short();
  std::wstring menu_name;
  reader.NameOrOrdinal(dialog.menu, menu_name);
  int class_ordinal = 0;
  std::wstring class_name;
  reader.NameOrOrdinal(class_ordinal, class_name);
  dialog.title = reader.String();
  if ((dialog.style & DS_SETFONT) != 0) {
    dialog.font_size = reader.Word();
    dialog.font = reader.String();
  }
  for (std::uint16_t i = 0; i < count && !reader.Done(); ++i) {
    reader.AlignTo(4);
    ResourceControl control;
    control.style = reader.Dword();
    reader.Dword();  // extended style
    control.x = reader.Short();
    control.y = reader.Short();
    control.width = reader.Short();
    control.height = reader.Short();
    control.id = reader.Short();
    int ordinal = 0;
    std::wstring name;
    reader.NameOrOrdinal(ordinal, name);
    control.class_name = ClassName(ordinal, name);
    reader.NameOrOrdinal(control.icon, control.text);
    const std::uint16_t extra = reader.Word();
    for (std::uint16_t byte = 0; byte < extra; byte += 2) {
      reader.Word();
    }
    dialog.controls.push_back(control);
  }
  return dialog;
}

}  // namespace fwu::test
