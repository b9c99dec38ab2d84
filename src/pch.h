// Precompiled header shared by the libraries, tests and benchmarks of the project.
// Every target links the same Qt modules (see the top CMakeLists.txt).
#pragma once
#ifdef __cplusplus
#include <QtCore>
#if __has_include(<QtGui>)
#include <QtGui>
#endif
#if __has_include(<QtWidgets>)
#include <QtWidgets>
#endif
#if __has_include(<QtDBus>)
#include <QtDBus>
#endif
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>
#endif
