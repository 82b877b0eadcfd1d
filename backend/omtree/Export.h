// Marks the classes and functions that the omtree shared library exports. The
// library is built with hidden default visibility: everything else stays
// internal to it.

#ifndef OMTREE_BACKEND_OMTREE_EXPORT_H_
#define OMTREE_BACKEND_OMTREE_EXPORT_H_

#if defined(_WIN32)
#if defined(OMTREE_BUILDING)
#define OMTREE_EXPORT __declspec(dllexport)
#else
#define OMTREE_EXPORT __declspec(dllimport)
#endif
#else
#define OMTREE_EXPORT __attribute__((visibility("default")))
#endif

#endif  // OMTREE_BACKEND_OMTREE_EXPORT_H_
