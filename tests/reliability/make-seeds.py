#!/usr/bin/env python3
"""Writes the fuzz target's seed corpus (corpus/*.bin): short host scripts in the target's input format, one per
kind of session worth starting from. Run from this folder after changing the input format."""
import struct

def create(): return b'\x01'                       # a host the plug-in accepts
def dispatch(opcode, index=0, value=0, opt=0.0, text=b'', extra=b''):
    return bytes([0, opcode + 4]) + struct.pack('<iqfB', index, value, opt, len(text)) + text + extra
def set_param(index, value): return bytes([2, index + 2]) + struct.pack('<f', value)
def get_param(index): return bytes([3]) + struct.pack('<i', index)
def sample_rate(rate): return bytes([4]) + struct.pack('<f', rate)
def time_info(tempo, ppq=0.0, flags=2 | 512 | 1024 | 2048 | 8192):
    return struct.pack('<8d6i', 0.0, 44100.0, 0.0, ppq, tempo, 0.0, 0.0, 0.0, 4, 4, 0, 0, 0, flags)
def block(frames, amplitude=1.0, seed=1, time=None, in_place=0):
    data = bytes([5]) + struct.pack('<H', frames) + bytes([1]) + struct.pack('<fI', amplitude, seed)
    data += (bytes([1]) + time_info(*time)) if time else bytes([0])
    return data + bytes([in_place])
def raw_block(frames, floats, in_place=1):
    pattern = struct.pack('<%df' % len(floats), *floats).ljust(128, b'\0')
    return bytes([5]) + struct.pack('<H', frames) + bytes([0]) + pattern + bytes([0, in_place])

seeds = {
    'defaults': create() + block(512) + block(64, seed=2),
    'runaway-lfo': create() + set_param(4, 1.0) + set_param(5, 0.05) + set_param(6, 0.375) + set_param(8, 0.7)
        + set_param(3, 1.0) + set_param(2, 0.2) + b''.join(block(4096, seed=s, time=(480.0, s * 0.5)) for s in range(8)),
    'huge-input': create() + set_param(11, 0.5) + block(256, amplitude=1e37) + block(256) + block(256, seed=3),
    'non-finite-input': create() + raw_block(300, [float('nan'), 1.0, float('inf'), -0.0, 1e-40, -3e38]) + block(300),
    'texts': create() + b''.join(dispatch(op, index=i) for op in (6, 7, 8) for i in range(-1, 13))
        + dispatch(4, text=b'A program name longer than twenty-four') + dispatch(5) + dispatch(51, text=b'bypass')
        + dispatch(27, index=2, text=b'1000'),
    'rates': create() + sample_rate(0.0) + block(128) + sample_rate(float('nan')) + block(128)
        + sample_rate(3e38) + block(128) + sample_rate(8000.0) + block(128) + sample_rate(768000.0) + block(128),
    'block-sizes': create() + set_param(11, 0.3) + dispatch(11, extra=struct.pack('<H', 64)) + dispatch(12, value=1)
        + block(64) + block(8192) + block(1) + block(0) + dispatch(12, value=0) + dispatch(1) + create() + block(77),
    'dual-crossing': create() + set_param(1, 1.0) + set_param(2, 0.3) + block(500) + set_param(2, 0.7) + block(500)
        + set_param(0, 1.0) + set_param(10, 1.0) + block(500, amplitude=4.0),
}
for name, data in seeds.items():
    with open('corpus/%s.bin' % name, 'wb') as f:
        f.write(data)
