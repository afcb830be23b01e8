"""Web pages of the stand-in service: the consultant page that the agent
opens in the browser, and the answers for paths nobody serves."""
from html import escape
from typing import Iterable, Tuple

from replies import Reply

HTML_TYPE = ("Content-Type", "text/html; charset=utf-8")
NOT_FOUND_BODY = b"<html><body>Not found</body></html>"
PRESENCE_LABELS = {"online": "в сети", "away": "нет на месте", "offline": "не в сети",
                   "unknown": "нет данных"}


def not_found() -> Reply:
    return Reply(status=404, body=NOT_FOUND_BODY)


def bad_request(reason: str) -> Reply:
    body = f"<html><body>Bad request: {escape(reason)}</body></html>".encode()
    return Reply(status=400, body=body, headers=[HTML_TYPE])


def consultant_page(consultants: Iterable[Tuple[bytes, str, int]]) -> Reply:
    """consultants: (login as Windows-1251 bytes, presence word, new messages)."""
    rows = "".join(
        f"<tr><td>{escape(login.decode('cp1251', 'replace'))}</td>"
        f"<td class=\"{presence}\">{PRESENCE_LABELS.get(presence, presence)}</td>"
        f"<td>{messages}</td></tr>\n"
        for login, presence, messages in consultants)
    page = f"""<!DOCTYPE html>
<html lang="ru">
<head><meta charset="utf-8"><title>Кабинет консультанта</title>
<style>
body {{ font-family: sans-serif; margin: 2em; }}
table {{ border-collapse: collapse; }}
td, th {{ border: 1px solid #999; padding: 0.3em 0.8em; }}
.online {{ color: #080; }} .away {{ color: #a60; }} .offline {{ color: #888; }}
</style></head>
<body>
<h1>Кабинет консультанта</h1>
<p>Вопросы посетителей ждут ответа. Консультанты и их новые сообщения:</p>
<table>
<tr><th>Консультант</th><th>Статус</th><th>Новых сообщений</th></tr>
{rows}</table>
</body>
</html>
"""
    return Reply(body=page.encode("utf-8"), headers=[HTML_TYPE])
