"""Announcement pages of the maker's web site, as docs/announcement-page.md has
them written, for the scenarios and the benchmarks.

    page(latest="1.1.3", address=site.url("/d/new.exe"), notes=["1. 新增插件"])
"""
PATH = "/1507/302203109570.html"
RUNNING = "1.1.2"  # velmora.exe's own version


def page(latest=RUNNING, official=None, restriction=None, address=None, file_name=None,
         notes=None, before="", after=""):
    """The article's HTML (text; served as UTF-8). Fields left None are left out;
    notes is a list of paragraphs. before/after: page text around the fields."""
    parts = ["<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Velmora 更新公告</title>"
             "</head><body><div class=\"article\">", before]
    if restriction is not None:
        parts.append(f"<p>限制：{restriction}</p>")
    if latest is not None:
        parts.append(f"<p>最新版本：{latest}</p>")
    parts.append(f"<p>官方版本：{official if official is not None else latest or RUNNING}</p>")
    if file_name is not None:
        parts.append(f"<p>文件名：{file_name}</p>")
    if address is not None:
        parts.append(f"<p>下载地址：{address}【下载地址结束】</p>")
    if notes is not None:
        parts.append("<p>更新说明：【</p>" + "".join(f"<p>{n}</p>" for n in notes) + "<p>【结束】</p>")
    parts += [after, "</div></body></html>\n"]
    return "".join(parts)
