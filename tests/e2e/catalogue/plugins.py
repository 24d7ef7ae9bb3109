"""Archives and layout shared by the plug-in scenarios."""
import io
import os
import random
import zipfile

SHELLS_LIST = "list:pd"
BLUE_TRAILS = 13   # 蓝色炮线: plug-in page plugin:13, row 1 of the 炮弹 list
RED_TRAILS = 14    # 红色炮线: row 2


def make_archive(path, files):
    """files: {"profile/particles/trails/x.xml": bytes}"""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in files.items():
            info = zipfile.ZipInfo(name, date_time=(2021, 6, 15, 12, 30, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data)
    return path


def trails_archive(path, noise=0):
    files = {
        "profile/particles/trails/blue_ap.xml": b"<trail colour='blue'/>",
        "profile/particles/trails/effects/blue_he.xml": b"<trail colour='blue' kind='he'/>",
    }
    if noise:
        files["profile/particles/trails/noise.bin"] = random.Random(7).randbytes(noise)
    return make_archive(path, files)


def config_ini(program, game_root):
    with open(os.path.join(program, "config.ini"), "wb") as f:
        f.write(("[设置]\r\n游戏路径=" + game_root + "\r\n").encode("gb18030"))
