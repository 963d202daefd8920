"""Writes a mono 32-bit float WAV file: ir_wav_fixture.py OUT.wav RATE VALUE... (values may be
"nan" or "inf"), for samples that sox would not pass through unchanged."""
import sys

import numpy as np
from scipy.io import wavfile

values = np.array([float(v) for v in sys.argv[3:]], dtype=np.float32)
wavfile.write(sys.argv[1], int(sys.argv[2]), values)
