// SPDX-License-Identifier: GPL-3.0-or-later
// The source of q_pch_core and q_pch, the targets that compile the shared precompiled headers
// (cmake/QuorvaneTargets.cmake): CMake makes a precompiled header only for a target with a
// source that uses it.
