/* Draws Han Xin symbols with zint for the table derivation. Each stdin line
 * "version level mask hexdata" gives a status line "rc size" and, unless
 * zint refused, size rows of 0/1 modules. */
#include <stdio.h>
#include <string.h>
#include <zint.h>

int main(void) {
  static char line[40000];
  static unsigned char data[20000];
  while (fgets(line, sizeof line, stdin)) {
    int v, l, m, n = 0;
    static char hex[39000];
    hex[0] = 0;
    if (sscanf(line, "%d %d %d %38999s", &v, &l, &m, hex) < 3) continue;
    for (; hex[2 * n] && hex[2 * n + 1]; ++n) {
      unsigned b;
      sscanf(hex + 2 * n, "%2x", &b);
      data[n] = (unsigned char)b;
    }
    struct zint_symbol* s = ZBarcode_Create();
    s->symbology = BARCODE_HANXIN;
    s->option_1 = l;
    s->option_2 = v;
    s->option_3 = (m + 1) << 8; /* zint's mask choice: mask + 1 in the second byte */
    s->input_mode = DATA_MODE;
    int rc = ZBarcode_Encode(s, data, n);
    printf("%d %d\n", rc, rc < 5 ? s->rows : 0);
    if (rc < 5)
      for (int r = 0; r < s->rows; ++r) {
        for (int c = 0; c < s->width; ++c) putchar('0' + ((s->encoded_data[r][c >> 3] >> (c & 7)) & 1));
        putchar('\n');
      }
    fflush(stdout);
    ZBarcode_Delete(s);
  }
  return 0;
}
