"""Decodes an MP3 file with libmpg123 (the decoder SDL_mixer uses on Debian).

Only the handful of libmpg123 calls needed to get the whole file as 16-bit
PCM, with gapless decoding (encoder delay and padding removed, as the LAME
header says) left at the library's default, which is on.
"""
import ctypes
import ctypes.util

import numpy as np

MPG123_OK = 0
MPG123_DONE = -12
MPG123_NEW_FORMAT = -11
MPG123_ENC_SIGNED_16 = 0xD0


def _lib():
    name = ctypes.util.find_library("mpg123") or "libmpg123.so.0"
    lib = ctypes.CDLL(name)
    lib.mpg123_new.restype = ctypes.c_void_p
    lib.mpg123_new.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_int)]
    lib.mpg123_open.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
    lib.mpg123_getformat.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_long),
                                     ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int)]
    lib.mpg123_read.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_size_t,
                                ctypes.POINTER(ctypes.c_size_t)]
    lib.mpg123_close.argtypes = [ctypes.c_void_p]
    lib.mpg123_delete.argtypes = [ctypes.c_void_p]
    lib.mpg123_format_none.argtypes = [ctypes.c_void_p]
    lib.mpg123_format.argtypes = [ctypes.c_void_p, ctypes.c_long, ctypes.c_int, ctypes.c_int]
    lib.mpg123_scan.argtypes = [ctypes.c_void_p]
    return lib


def decode(path):
    """Returns (rate, channels, int16 array of shape (frames, channels))."""
    lib = _lib()
    lib.mpg123_init()  # a no-op in current versions, required by old ones
    err = ctypes.c_int(0)
    h = lib.mpg123_new(None, ctypes.byref(err))
    if not h:
        raise RuntimeError("mpg123_new failed (%d)" % err.value)
    try:
        if lib.mpg123_open(h, path.encode()) != MPG123_OK:
            raise RuntimeError("mpg123 cannot open " + path)
        rate, ch, enc = ctypes.c_long(), ctypes.c_int(), ctypes.c_int()
        if lib.mpg123_getformat(h, ctypes.byref(rate), ctypes.byref(ch), ctypes.byref(enc)) != MPG123_OK:
            raise RuntimeError("mpg123 cannot read the format of " + path)
        lib.mpg123_format_none(h)
        lib.mpg123_format(h, rate.value, ch.value, MPG123_ENC_SIGNED_16)
        chunks = []
        buf = ctypes.create_string_buffer(1 << 16)
        done = ctypes.c_size_t()
        while True:
            r = lib.mpg123_read(h, buf, len(buf), ctypes.byref(done))
            if done.value:
                chunks.append(buf.raw[:done.value])
            if r == MPG123_DONE:
                break
            if r not in (MPG123_OK, MPG123_NEW_FORMAT):
                raise RuntimeError("mpg123 decode error %d in %s" % (r, path))
        lib.mpg123_close(h)
    finally:
        lib.mpg123_delete(h)
    pcm = np.frombuffer(b"".join(chunks), dtype="<i2").reshape(-1, ch.value)
    return rate.value, ch.value, pcm
