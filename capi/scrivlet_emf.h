/* libscrivlet-emf: enhanced metafiles to 8-bit RGBA pixels.
 *
 * Open a metafile from bytes or a file, ask for its page size, render all
 * of its page or a strip of rows at a resolution into a buffer you own, read
 * the playback report of the last render, close it. Every call returns a
 * status; SCRIVLET_EMF_OK is 0. scrivlet_emf_last_error() gives the text of
 * the last failure on the calling thread.
 *
 * One handle is used by one thread at a time; different handles may be used
 * on different threads at once. The pixels are non-premultiplied red, green,
 * blue, alpha bytes, left to right, top row first; the page is opaque. */
#ifndef SCRIVLET_EMF_H
#define SCRIVLET_EMF_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SCRIVLET_EMF_VERSION_MAJOR 1
#define SCRIVLET_EMF_VERSION_MINOR 0

#if defined(__GNUC__)
#define SCRIVLET_EMF_API __attribute__((visibility("default")))
#else
#define SCRIVLET_EMF_API
#endif

typedef struct scrivlet_emf scrivlet_emf;

typedef enum scrivlet_emf_status {
    SCRIVLET_EMF_OK = 0,
    SCRIVLET_EMF_ERROR_ARGUMENT = 1, /* a NULL pointer or a value out of range */
    SCRIVLET_EMF_ERROR_IO = 2,       /* the file cannot be read */
    SCRIVLET_EMF_ERROR_FORMAT = 3,   /* not an enhanced metafile, or damaged beyond use */
    SCRIVLET_EMF_ERROR_SIZE = 4,     /* the page is empty or too large at this resolution */
    SCRIVLET_EMF_ERROR_BUFFER = 5,   /* the caller's buffer is too small for the rows */
    SCRIVLET_EMF_ERROR_MEMORY = 6,   /* not enough memory */
    SCRIVLET_EMF_ERROR_RENDER = 7    /* the page could not be drawn */
} scrivlet_emf_status;

/* What the last render played: counts of records, and whether the page was
 * cut short (a damaged record list or the work budget). */
typedef struct scrivlet_emf_report {
    int records_played;
    int drawing_records;
    int skipped_records;   /* records of a kind not supported */
    int malformed_records; /* records too short or invalid */
    int truncated;         /* 1 when the record list ended early */
    int cut;               /* 1 when playback stopped before the end */
    int emf_plus;          /* 1 when EMF+ records were found in comments */
} scrivlet_emf_report;

/* Opens a metafile from `size` bytes at `data` (copied; the caller keeps
 * them). On success *out is a handle for scrivlet_emf_close. */
SCRIVLET_EMF_API scrivlet_emf_status scrivlet_emf_open_memory(const void* data, size_t size,
                                                              scrivlet_emf** out);
/* Opens a metafile file. */
SCRIVLET_EMF_API scrivlet_emf_status scrivlet_emf_open_file(const char* path, scrivlet_emf** out);

/* The page's frame in millimetres. */
SCRIVLET_EMF_API scrivlet_emf_status scrivlet_emf_page_size_mm(const scrivlet_emf* emf, double* width_mm,
                                                               double* height_mm);
/* The page's size in pixels at `dpi` dots per inch. */
SCRIVLET_EMF_API scrivlet_emf_status scrivlet_emf_pixel_size(scrivlet_emf* emf, double dpi, uint32_t* width,
                                                             uint32_t* height);

/* Renders rows first_row .. first_row + row_count - 1 of the page at `dpi`
 * into `rgba`: row k of the strip starts at rgba + k * stride and holds
 * width * 4 bytes (width from scrivlet_emf_pixel_size). `buffer_size` is the
 * size of the buffer in bytes; the call writes nothing outside it and fails
 * when the rows do not fit. first_row 0 and the page's height render it
 * whole. */
SCRIVLET_EMF_API scrivlet_emf_status scrivlet_emf_render(scrivlet_emf* emf, double dpi, uint32_t first_row,
                                                         uint32_t row_count, uint8_t* rgba, size_t stride,
                                                         size_t buffer_size);

/* The report of the last successful render (all zero before one). */
SCRIVLET_EMF_API scrivlet_emf_status scrivlet_emf_get_report(const scrivlet_emf* emf,
                                                             scrivlet_emf_report* report);
/* The report as text, one finding a line (empty when nothing was noted);
 * valid until the next call on the handle. NULL for a NULL handle. */
SCRIVLET_EMF_API const char* scrivlet_emf_report_text(const scrivlet_emf* emf);

/* Releases the handle; NULL is ignored. */
SCRIVLET_EMF_API void scrivlet_emf_close(scrivlet_emf* emf);

/* The text of the last failure on this thread ("" when none). */
SCRIVLET_EMF_API const char* scrivlet_emf_last_error(void);
/* A fixed text for a status. */
SCRIVLET_EMF_API const char* scrivlet_emf_status_text(scrivlet_emf_status status);

#ifdef __cplusplus
}
#endif

#endif /* SCRIVLET_EMF_H */
