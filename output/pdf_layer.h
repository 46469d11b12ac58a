#pragma once
// The PDF calls the PDF export makes, on cairo's PDF surface: a document
// begun on a file, pages begun, images loaded from raster files and fitted
// ("adjustpage" sizes the page to the image: w x 72 / r by h x 72 / r points
// for w x h pixels at r dots per inch, the resolution stored in the file, 72
// when it holds none), pages and document ended. JPEG files are embedded as
// they are, with no second encoding.
//
// The document is written beside its final name and renamed over it when it
// ends; a document deleted before it ended leaves no file behind.

namespace output {

struct PDF;

// A new PDF object; never null.
PDF* PDF_new();
// Deletes the object; an unfinished document's file is removed.
void PDF_delete(PDF* p);

// -1 on failure (PDF_get_errmsg says why), 1 otherwise. `length` 0: a
// NUL-terminated name. The option list is ignored.
int PDF_begin_document(PDF* p, const char* filename, int length, const char* optlist);
// "SearchPath": the folder relative image names are looked up in.
void PDF_set_parameter(PDF* p, const char* key, const char* value);
// An image handle, or -1 when the file cannot be read as an image. The image
// type ("auto", "jpeg", "png", "tiff", "bmp") and the option list are
// taken as hints only: the file's content decides.
int PDF_load_image(PDF* p, const char* imagetype, const char* filename, int length, const char* optlist);
// A page of `width` x `height` points.
void PDF_begin_page_ext(PDF* p, double width, double height, const char* optlist);
// Places the image with its lower left corner at (x, y) points; the option
// "adjustpage" makes the page exactly as large as the image.
void PDF_fit_image(PDF* p, int image, double x, double y, const char* optlist);
void PDF_close_image(PDF* p, int image);
void PDF_end_page_ext(PDF* p, const char* optlist);
// -1 when the document could not be completed (a full disk, a failed
// rename), 1 when the file is in place.
int PDF_end_document(PDF* p, const char* optlist);
// The reason of the last failure.
const char* PDF_get_errmsg(PDF* p);

}  // namespace output
