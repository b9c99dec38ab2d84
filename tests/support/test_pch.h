// Precompiled header of the tests.
#pragma once
#ifdef __cplusplus
#include "pch.h"
#include <QtTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#endif
