/* The thumbnails the command must write, made by the libraries themselves
 * through their public headers: one for each line of the list file named as
 * the argument. The command's tests compare what imgthumb writes with these,
 * byte for byte. A line is one call:
 *
 *   square SIZE INPUT OUTPUT            imgthumbnail_square
 *   aspect SIZE RATIO INPUT OUTPUT      imgthumbnail_aspect (RATIO its index, 0..3)
 *   smart WIDTH HEIGHT INPUT OUTPUT     imgthumbnail_smart
 *   ex MODE WIDTH HEIGHT [FIELD=VALUE]... INPUT OUTPUT
 *       imgthumbnail_ex_thumbnail, MODE cover, fit, pad, smart or aspect, the
 *       record's defaults but for the fields named: ratio, rotate, upscale,
 *       quality, background (hex, RRGGBBAA)
 *
 * Empty lines and lines beginning with '#' are skipped; paths hold no
 * spaces. Exits with 1 when a line is malformed or its call fails (each said
 * on stderr), else 0. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "imgthumbnail.h"
#include "imgthumbnail_ex.h"

/* Longest line, and most words on one. */
#define LINE_SIZE 4096
#define MAX_WORDS 16

/* The modes by name, at their IMGTHUMBNAIL_EX_* index. */
static const char *const MODES[IMGTHUMBNAIL_EX_MODE_COUNT] = {"cover", "fit", "pad", "smart", "aspect"};

#define DECIMAL 10
#define HEX 16

/* A number in base that is the whole text. */
static int number(const char *text, int base, unsigned long *value)
{
    char *end;
    if (!*text || *text == '-') return 0;
    *value = strtoul(text, &end, base);
    return *end == '\0';
}

static int is_field(const char *word, size_t len, const char *name)
{
    return strlen(name) == len && strncmp(word, name, len) == 0;
}

/* One FIELD=VALUE word into the record; 0 when it is none of the fields. */
static int set_field(imgthumbnail_ex_options *o, const char *word)
{
    const char *eq = strchr(word, '=');
    unsigned long v;
    size_t len;
    if (!eq) return 0;
    len = (size_t)(eq - word);
    if (!number(eq + 1, is_field(word, len, "background") ? HEX : DECIMAL, &v)) return 0;
    if (is_field(word, len, "background")) o->background = (unsigned)v;
    else if (is_field(word, len, "ratio")) o->ratio = (int)v;
    else if (is_field(word, len, "rotate")) o->rotate = (int)v;
    else if (is_field(word, len, "upscale")) o->upscale = (int)v;
    else if (is_field(word, len, "quality")) o->quality = (int)v;
    else return 0;
    return 1;
}

/* The call of one line, split into n words; -1 when the line is malformed,
 * else the call's result. */
static int run_line(char **w, int n)
{
    const char *in = w[n - 2], *out = w[n - 1];
    unsigned long a = 0, b = 0, c = 0;
    imgthumbnail_ex_options o;
    int mode, i;
    if (strcmp(w[0], "square") == 0 && n == 4 && number(w[1], DECIMAL, &a))
        return imgthumbnail_square(in, out, (int)a);
    if (strcmp(w[0], "aspect") == 0 && n == 5 && number(w[1], DECIMAL, &a) && number(w[2], DECIMAL, &b))
        return imgthumbnail_aspect(in, out, (int)a, (int)b);
    if (strcmp(w[0], "smart") == 0 && n == 5 && number(w[1], DECIMAL, &a) && number(w[2], DECIMAL, &b))
        return imgthumbnail_smart(in, out, (int)a, (int)b);
    if (strcmp(w[0], "ex") != 0 || n < 6 || !number(w[2], DECIMAL, &b) || !number(w[3], DECIMAL, &c)) return -1;
    imgthumbnail_ex_defaults(&o);
    for (mode = 0; mode < IMGTHUMBNAIL_EX_MODE_COUNT && strcmp(w[1], MODES[mode]) != 0; mode++) {
    }
    if (mode == IMGTHUMBNAIL_EX_MODE_COUNT) return -1;
    o.mode = mode;
    o.width = (int)b;
    o.height = (int)c;
    for (i = 4; i < n - 2; i++)
        if (!set_field(&o, w[i])) return -1;
    return imgthumbnail_ex_thumbnail(in, out, &o);
}

int main(int argc, char **argv)
{
    char line[LINE_SIZE];
    int failures = 0, number_of_line = 0;
    FILE *f;
    if (argc != 2) {
        fprintf(stderr, "usage: %s LIST_FILE\n", argv[0]);
        return 2;
    }
    f = fopen(argv[1], "r");
    if (!f) {
        fprintf(stderr, "cannot open '%s'\n", argv[1]);
        return 1;
    }
    while (fgets(line, sizeof line, f)) {
        char *w[MAX_WORDS];
        int n = 0, r;
        char *word;
        number_of_line++;
        for (word = strtok(line, " \t\r\n"); word && n < MAX_WORDS; word = strtok(NULL, " \t\r\n")) w[n++] = word;
        if (n == 0 || w[0][0] == '#') continue;
        r = run_line(w, n);
        if (r == 1) continue;
        failures++;
        if (r < 0)
            fprintf(stderr, "%s:%d: not a call this program knows\n", argv[1], number_of_line);
        else
            fprintf(stderr, "%s:%d: %s\n", argv[1], number_of_line,
                    strcmp(w[0], "ex") == 0 ? imgthumbnail_ex_last_error() : imgthumbnail_last_error());
    }
    fclose(f);
    return failures ? 1 : 0;
}
