/* Includes the one header REACHED_HEADER names, with the include folders
 * that quintaro::imgthumbnail hands its users: the public header must
 * compile, and none of the library's internal headers may be found. */
#include REACHED_HEADER

int reach_header_compiled(void)
{
    return 1;
}
