"""One answer of the stand-in service, as the control interface scripts it or
the consultation logic makes it."""
from dataclasses import dataclass, field
from typing import List, Optional, Tuple


@dataclass
class Reply:
    """One answer.

    hang:     seconds to wait before anything is sent
    cut:      send only this many body bytes (Content-Length still promises
              the whole body), then wait cut_hang seconds and close; with
              drip, the rest follows one byte every drip seconds instead
    raw:      body is the whole response, status line and headers included
    length:   send a Content-Length header
    """
    status: int = 200
    body: bytes = b""
    headers: List[Tuple[str, str]] = field(default_factory=list)
    hang: float = 0.0
    cut: Optional[int] = None
    cut_hang: float = 0.0
    drip: float = 0.0
    raw: bool = False
    length: bool = True
