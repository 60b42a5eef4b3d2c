/* Makes the same square thumbnail over and over: input, output, size and a
 * count of rounds (0: until killed). The test of killed writers kills it at
 * random moments and looks at what it left. */
#include <stdio.h>
#include <stdlib.h>

#include "imgthumbnail.h"

int main(int argc, char **argv)
{
    long rounds, i;
    if (argc != 5) {
        fprintf(stderr, "usage: square_host INPUT OUTPUT SIZE ROUNDS\n");
        return 2;
    }
    rounds = atol(argv[4]);
    for (i = 0; rounds == 0 || i < rounds; i++) {
        if (!imgthumbnail_square(argv[1], argv[2], atoi(argv[3]))) {
            fprintf(stderr, "square_host: %s\n", imgthumbnail_last_error());
            return 1;
        }
    }
    return 0;
}
