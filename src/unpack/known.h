// Containers KIVOR recognises but cannot read yet: each is said once
// ("NAME: ZOO archive, not searched") rather than passed over in silence.
// Pure: bytes in, a format's name out.
#ifndef KIVOR_UNPACK_KNOWN_H_
#define KIVOR_UNPACK_KNOWN_H_

// The name of the unreadable container format whose signature the n bytes
// at b begin with ("StuffIt", "ZOO", ...), of a file or member whose last
// component is name (a weak signature counts only with its extension);
// NULL for none.
const char *unpack_known_unread(const unsigned char *b, long n, const char *name);

#endif  // KIVOR_UNPACK_KNOWN_H_
