#include "ui/icon_to_sys_tray.h"

#include <string>

namespace murmuro {
namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

Text TrayTipField(TextView tip) {
  Text field(WholeCharacters(tip, platform::kTrayTipSize - 1));
  field.push_back(u'\0');
  field.resize(platform::kTrayTipSize, u' ');
  return field;
}

std::array<char, platform::kTrayTipSize> TrayTipToAnsi(TextView field,
                                                       const platform::AnsiCodec& codec) {
  std::array<char, platform::kTrayTipSize> out;
  out.fill(' ');
  const TextView tip = field.substr(0, field.find(u'\0'));
  std::size_t used = 0;
  for (std::size_t i = 0; i < tip.size();) {
    const std::size_t units = IsHighSurrogate(tip[i]) && i + 1 < tip.size() ? 2 : 1;
    const std::string bytes = codec.FromText(tip.substr(i, units));
    if (used + bytes.size() > platform::kTrayTipSize - 1) break;
    for (char b : bytes) out[used++] = b;
    i += units;
  }
  out[used] = '\0';
  return out;
}

bool IconToSysTray::AddTrayIcon(Hwnd window, platform::IconHandle icon, TextView tip) {
  record_.hWnd = window;
  record_.uID = kTrayIconId;
  record_.uFlags = platform::kNifMessage | platform::kNifIcon | platform::kNifTip;
  record_.uCallbackMessage = kTrayCallbackMessage;
  record_.hIcon = icon;
  record_.szTip = TrayTipField(tip);
  return shell_.Shell_NotifyIconA(platform::kNimAdd, AnsiRecord());
}

void IconToSysTray::RemoveTrayIcon() {
  shell_.Shell_NotifyIconA(platform::kNimDelete, AnsiRecord());
}

bool IconToSysTray::ChangeTip(TextView tip) {
  if (record_.uID == 0) return false;
  record_.szTip = TrayTipField(tip);
  return shell_.Shell_NotifyIconA(platform::kNimModify, AnsiRecord());
}

bool IconToSysTray::RetryTrayIcon() {
  const auto record = AnsiRecord();
  return shell_.Shell_NotifyIconA(platform::kNimModify, record) ||
         shell_.Shell_NotifyIconA(platform::kNimAdd, record);
}

bool IconToSysTray::RestoreTrayIcon(platform::IconHandle icon) {
  if (record_.uID == 0) return true;
  if (icon != 0) record_.hIcon = icon;
  const auto record = AnsiRecord();
  return shell_.Shell_NotifyIconA(platform::kNimAdd, record) ||
         shell_.Shell_NotifyIconA(platform::kNimModify, record);
}

platform::NotifyIconDataA IconToSysTray::AnsiRecord() const {
  platform::NotifyIconDataA a;
  a.hWnd = record_.hWnd;
  a.uID = record_.uID;
  a.uFlags = record_.uFlags;
  a.uCallbackMessage = record_.uCallbackMessage;
  a.hIcon = record_.hIcon;
  a.szTip = TrayTipToAnsi(record_.szTip, codec_);
  return a;
}

}  // namespace murmuro
