/* Writes COUNT key rings into DIR (ring00000.pgp ...), each of KEYS version 3
 * RSA public keys of 1024 bits with a user ID: every file a hit of -c whose
 * material has KEYS keys.  Usage: make_keys DIR COUNT KEYS */
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: make_keys DIR COUNT KEYS\n");
    return 2;
  }
  int count = atoi(argv[2]), keys = atoi(argv[3]);
  unsigned seed = 1;
  for (int f = 0; f < count; f++) {
    char name[4096];
    snprintf(name, sizeof name, "%s/ring%05d.pgp", argv[1], f);
    FILE *out = fopen(name, "wb");
    if (out == NULL) {
      perror(name);
      return 1;
    }
    for (int k = 0; k < keys; k++) {
      /* public key: version 3, created, 0 days, RSA, n of 1024 bits, e = 65537 */
      static const unsigned char head[] = {0x99, 0x00, 0x8F, 3, 0x2E, 0x5B, 0x2A, 0x00, 0, 0, 1, 0x04, 0x00};
      fwrite(head, 1, sizeof head, out);
      for (int i = 0; i < 128; i++) {
        seed = seed * 1103515245u + 12345u;
        fputc(i == 0 ? 0x80 | (seed >> 24) : (int)(seed >> 24) & 0xFF, out);
      }
      static const unsigned char e[] = {0x00, 0x11, 0x01, 0x00, 0x01};
      fwrite(e, 1, sizeof e, out);
      char uid[64];
      int n = snprintf(uid, sizeof uid, "Key %d of ring %d <k%d@example.org>", k, f, k);
      fputc(0xB4, out);
      fputc(n, out);
      fwrite(uid, 1, (size_t)n, out);
    }
    if (fclose(out) != 0) {
      perror(name);
      return 1;
    }
  }
  return 0;
}
