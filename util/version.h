// psfpick version: the single source of the version number.
// CMake reads PSFPICK_VERSION from this file into project(VERSION ...).
#pragma once

#define PSFPICK_VERSION "0.1.0"
