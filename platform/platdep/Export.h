// Marks the classes and functions that the platdep shared library exports. The
// library is built with hidden default visibility: everything else stays
// internal to it.

#ifndef OMTREE_PLATFORM_PLATDEP_EXPORT_H_
#define OMTREE_PLATFORM_PLATDEP_EXPORT_H_

#if defined(_WIN32)
#if defined(PLATDEP_BUILDING)
#define PLATDEP_EXPORT __declspec(dllexport)
#else
#define PLATDEP_EXPORT __declspec(dllimport)
#endif
#else
#define PLATDEP_EXPORT __attribute__((visibility("default")))
#endif

#endif  // OMTREE_PLATFORM_PLATDEP_EXPORT_H_
