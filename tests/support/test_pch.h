// Precompiled header of the tests.
#pragma once
#ifdef __cplusplus
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QtTest>
#include "pch.h"
#endif
