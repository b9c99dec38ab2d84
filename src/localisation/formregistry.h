// The program's localisable forms by name, each with a function that creates it, so that the
// language files can be checked against the forms that exist. A form's source file registers it:
//
//   JEX_REGISTER_FORM(frmUser, [] { return std::make_unique<frmUser>(); })
//
// (Registration runs when the form's object file is linked; a program or test that wants every
// form links the form libraries whole.)
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

namespace jex {
class cIniFil;
}

namespace jex::loc {

using FormFactory = std::function<std::unique_ptr<QWidget>()>;

// Registers (or replaces) the factory of the form called name.
void registerForm(const QString& name, FormFactory factory);
void unregisterForm(const QString& name);
// The registered names, sorted.
QStringList registeredForms();
// A new instance of the form; null for an unknown name or a factory that failed.
std::unique_ptr<QWidget> createForm(const QString& name);

// The keys a complete translation of the form must hold in ini and does not: every control's
// caption or text (when the built-in one is not empty), its tool tip (when the built-in one is
// not empty and the control is no label or menu entry) and every list item and tab. A key whose
// needed part is empty counts as missing. Each entry reads "[section] key".
QStringList missingEntries(QWidget* form, cIniFil& ini);

struct FormRegistrar {
  FormRegistrar(const QString& name, FormFactory factory) { registerForm(name, std::move(factory)); }
};

}  // namespace jex::loc

#define JEX_REGISTER_FORM(name, ...) \
  static const ::jex::loc::FormRegistrar jex_form_registrar_##name(QStringLiteral(#name), __VA_ARGS__);
