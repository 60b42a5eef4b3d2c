/* The JPEG part of the Linux = Windows comparison (crosscheck_host.c). */
#ifndef IMGTHUMB_CROSSCHECK_JPEG_H
#define IMGTHUMB_CROSSCHECK_JPEG_H

/* Writes JPEG sources of every kind into dir and thumbnails of each beside
 * them; returns the number of calls that failed (each is reported on
 * stderr). */
int crosscheck_jpeg(const char *dir);

#endif
