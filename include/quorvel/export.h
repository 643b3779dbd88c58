#ifndef QUORVEL_EXPORT_H
#define QUORVEL_EXPORT_H
/* Marks what the shared library exports: the public API and nothing else. */

#if defined(_WIN32)
/* Windows: quorvel.dll exports the automation entry points only (a .def file); programs link
   the static library. */
#define QUORVEL_API
#elif defined(__GNUC__) || defined(__clang__)
#define QUORVEL_API __attribute__((visibility("default")))
#else
#define QUORVEL_API
#endif

#endif /* QUORVEL_EXPORT_H */
