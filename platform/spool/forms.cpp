// Server-wide forms: "C:\Windows\System32\spool\forms.ini", one line per form
// "name=width,height,left,top,right,bottom" (thousandths of a mm). Changes
// hold an exclusive lock on the file's ".lock" neighbour and replace the file
// whole, so two processes never lose each other's forms.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/sysroot/codepage.h"
#include "platform/sysroot/fileio.h"
#include "platform/sysroot/sysroot.h"
#include "spool.h"

namespace spool {
namespace {

std::vector<Form> ReadForms() {
  std::vector<Form> out;
  std::string text;
  if (!sysroot::ReadHostFileKept(FormsFile(), text)) return out;
  std::istringstream f(text);
  std::string line;
  while (std::getline(f, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t eq = line.rfind('=');
    if (eq == std::string::npos || eq == 0) continue;
    Form form;
    form.name = line.substr(0, eq);
    long v[6];
    if (std::sscanf(line.c_str() + eq + 1, "%ld,%ld,%ld,%ld,%ld,%ld", &v[0], &v[1], &v[2], &v[3], &v[4],
                    &v[5]) != 6)
      continue;
    form.width = static_cast<int>(v[0]);
    form.height = static_cast<int>(v[1]);
    form.imageable = {static_cast<win::LONG>(v[2]), static_cast<win::LONG>(v[3]),
                      static_cast<win::LONG>(v[4]), static_cast<win::LONG>(v[5])};
    out.push_back(form);
  }
  return out;
}

bool WriteForms(const std::vector<Form>& forms) {
  std::ostringstream o;
  for (const auto& f : forms)
    o << f.name << "=" << f.width << "," << f.height << "," << f.imageable.left << "," << f.imageable.top
      << "," << f.imageable.right << "," << f.imageable.bottom << "\r\n";
  return sysroot::ReplaceFile(FormsFile(), o.str());
}

bool ValidForm(const win::FORM_INFO_1A* form) {
  return form && form->pName && *form->pName && !std::strchr(form->pName, '=') &&
         !std::strchr(form->pName, '\n') && !std::strchr(form->pName, '\r') && form->Size.cx > 0 &&
         form->Size.cy > 0;
}

// The forms' lock was not had (another process holds it too long).
bool LockFailed() {
  win::SetLastError(errno == EWOULDBLOCK ? win::ERROR_LOCK_VIOLATION : win::ERROR_ACCESS_DENIED);
  return false;
}

bool SameForm(const Form& a, const Form& b) {
  return a.name == b.name && a.width == b.width && a.height == b.height && a.imageable.left == b.imageable.left &&
         a.imageable.top == b.imageable.top && a.imageable.right == b.imageable.right &&
         a.imageable.bottom == b.imageable.bottom;
}

Form FromInfo(const win::FORM_INFO_1A* info) {
  Form f;
  f.name = info->pName;
  f.width = info->Size.cx;
  f.height = info->Size.cy;
  f.imageable = info->ImageableArea;
  return f;
}

}  // namespace

std::string FormsFile() { return sysroot::HostPath("C:\\Windows\\System32\\spool\\forms.ini"); }

bool FindForm(const std::string& name, Form& form) {
  for (const auto& f : ReadForms())
    if (cp::UpperAscii(f.name) == cp::UpperAscii(name)) {
      form = f;
      return true;
    }
  return false;
}

}  // namespace spool

namespace win {

bool GetFormA(HANDLE printer, const char* formName, DWORD level, BYTE* buf, DWORD cb, DWORD* needed) {
  if (needed) *needed = 0;
  if (!IsPrinterHandle(printer) || !formName || level != 1 || !needed) {
    SetLastError(IsPrinterHandle(printer) ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return false;
  }
  spool::Form f;
  if (!spool::FindForm(formName, f)) {
    SetLastError(ERROR_INVALID_FORM_NAME);
    return false;
  }
  size_t size = sizeof(FORM_INFO_1A) + f.name.size() + 1;
  *needed = static_cast<DWORD>(size);
  if (!buf || cb < size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  char* name = reinterpret_cast<char*>(buf) + sizeof(FORM_INFO_1A);
  std::memcpy(name, f.name.c_str(), f.name.size() + 1);
  FORM_INFO_1A info{0, name, {f.width, f.height}, f.imageable};
  std::memcpy(buf, &info, sizeof info);
  return true;
}

bool SetFormA(HANDLE printer, const char* formName, DWORD level, const FORM_INFO_1A* form) {
  if (!IsPrinterHandle(printer) || !formName || level != 1 || !spool::ValidForm(form)) {
    SetLastError(IsPrinterHandle(printer) ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return false;
  }
  // A form set to what it holds leaves the file alone (a print sets its
  // paper every time); the file is only ever replaced whole, so it can be
  // read without the lock.
  const spool::Form wanted = spool::FromInfo(form);
  for (const auto& f : spool::ReadForms())
    if (cp::UpperAscii(f.name) == cp::UpperAscii(formName) && spool::SameForm(f, wanted)) return true;
  sysroot::FileLock lock(spool::FormsFile() + ".lock");
  if (!lock.ok()) return spool::LockFailed();
  auto forms = spool::ReadForms();
  for (auto& f : forms)
    if (cp::UpperAscii(f.name) == cp::UpperAscii(formName)) {
      if (spool::SameForm(f, wanted)) return true;
      f = wanted;
      if (spool::WriteForms(forms)) return true;
      SetLastError(ERROR_ACCESS_DENIED);
      return false;
    }
  SetLastError(ERROR_INVALID_FORM_NAME);
  return false;
}

bool AddFormA(HANDLE printer, DWORD level, const FORM_INFO_1A* form) {
  if (!IsPrinterHandle(printer) || level != 1 || !spool::ValidForm(form)) {
    SetLastError(IsPrinterHandle(printer) ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return false;
  }
  sysroot::FileLock lock(spool::FormsFile() + ".lock");
  if (!lock.ok()) return spool::LockFailed();
  auto forms = spool::ReadForms();
  for (const auto& f : forms)
    if (cp::UpperAscii(f.name) == cp::UpperAscii(form->pName)) {
      SetLastError(ERROR_FILE_EXISTS);
      return false;
    }
  forms.push_back(spool::FromInfo(form));
  if (spool::WriteForms(forms)) return true;
  SetLastError(ERROR_ACCESS_DENIED);
  return false;
}

}  // namespace win
