/* PNG sources of every kind for the Linux = Windows comparison. */
#ifndef CROSSCHECK_PNG_H
#define CROSSCHECK_PNG_H

/* Writes PNG files of every colour type, bit depth, filter and interlace
 * into dir (a palette image whose indices run past its short PLTE among
 * them) and makes thumbnails of each there. Returns the failures. */
int crosscheck_png(const char *dir);

#endif
