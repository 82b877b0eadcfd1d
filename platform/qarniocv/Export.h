// Marks the classes and functions that the qarniocv shared library exports. The
// library is built with hidden default visibility: everything else stays
// internal to it.

#ifndef OMTREE_PLATFORM_QARNIOCV_EXPORT_H_
#define OMTREE_PLATFORM_QARNIOCV_EXPORT_H_

#if defined(_WIN32)
#if defined(QARNIOCV_BUILDING)
#define QARNIOCV_EXPORT __declspec(dllexport)
#else
#define QARNIOCV_EXPORT __declspec(dllimport)
#endif
#else
#define QARNIOCV_EXPORT __attribute__((visibility("default")))
#endif

#endif  // OMTREE_PLATFORM_QARNIOCV_EXPORT_H_
