"""Which of the agent's icons the tray shows, from the screen's pixels: the
tour checks the icon without pointing at it (a move would end Away) and
without waiting for a tooltip, which Wine hides after a few seconds.

The pictures are the ones tools/gen_icons.py draws, from which the committed
.ico files come; on screen an icon's opaque pixels are exactly its colours,
and its transparent corners show the taskbar."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import gen_icons  # noqa: E402


def agent_pictures():
    """(icon file name, frame) for every frame that draws something; a frame
    is rows of RGB tuples, None where transparent."""
    return [(name, frame) for name, images in gen_icons.icons().items()
            for frame, _ in images if any(colour for row in frame for colour in row)]


def shows(raw, frame):
    """Whether raw RGB bytes of a square of the screen show the frame."""
    size = len(frame)
    if len(raw) != 3 * size * size:
        return False
    return all(colour is None or raw[3 * (y * size + x):3 * (y * size + x) + 3] == bytes(colour)
               for y, row in enumerate(frame) for x, colour in enumerate(row))


def picture_name(raw, pictures):
    """The file name of the icon that the pixels show, or None."""
    return next((name for name, frame in pictures if shows(raw, frame)), None)
