#!/usr/bin/env python3
"""Writes host-1.25.sql: a version 1.25 host database as Jet SQL.

The output is committed; run this again only to change the sample:

    python3 samples/make_host_sql.py > samples/host-1.25.sql

The data is made up but shaped like a member cooperative's real file: one
cooperative, member companies, their delivery addresses, corporate cards and
vehicles, monthly billing rows, and the older card and mileage tables that the
next version replaces. A fixed seed keeps the output stable.

The script is read line by line by the query runner, so every line stays within
512 bytes, never starts with "#" unless it is a comment, and no literal holds a
semicolon (a semicolon ends a statement wherever it stands).
"""

import datetime
import random
import sys

rng = random.Random(20200524)

out_lines = []


def emit(line=""):
    if line.startswith("CREATE TABLE") and len(line.encode("utf-8")) > 300:
        out_lines.extend(wrap_columns(line))
    else:
        out_lines.append(line)


def wrap_columns(statement):
    """Puts each column or constraint of a long CREATE TABLE on a line of its own."""
    lines, depth, start = [], 0, 0
    for i, ch in enumerate(statement):
        if ch == "(":
            depth += 1
        elif ch == ")":
            depth -= 1
        elif ch == "," and depth == 1:
            lines.append(statement[start:i + 1].rstrip())
            start = i + 1
    lines.append(statement[start:])
    return [lines[0]] + ["\t" + piece.strip() for piece in lines[1:]]


def comment(text):
    emit("# " + text)


def sql_text(value):
    if value is None:
        return "NULL"
    if isinstance(value, bool):
        return "True" if value else "False"
    if isinstance(value, (int, float)):
        return repr(value)
    if isinstance(value, Date):
        return value.literal()
    assert ";" not in value, value
    return "'" + value.replace("'", "''") + "'"


class Date:
    def __init__(self, y, m, d, hh=0, mm=0, ss=0):
        self.parts = (y, m, d, hh, mm, ss)

    def literal(self):
        y, m, d, hh, mm, ss = self.parts
        if (hh, mm, ss) == (0, 0, 0):
            return "#%04d/%02d/%02d#" % (y, m, d)
        return "#%04d/%02d/%02d %02d:%02d:%02d#" % (y, m, d, hh, mm, ss)


def random_stamp(year_from, year_to):
    return Date(rng.randint(year_from, year_to), rng.randint(1, 12), rng.randint(1, 28),
                rng.randint(8, 19), rng.randint(0, 59), rng.randint(0, 59))


def insert(table, columns, values, per_line=8):
    """One INSERT statement, wrapped so no line grows past 512 bytes."""
    texts = [sql_text(v) for v in values]
    head = "INSERT INTO %s (" % table
    pieces = []
    for i in range(0, len(columns), per_line):
        pieces.append(",".join(columns[i:i + per_line]))
    value_pieces = []
    for i in range(0, len(texts), per_line):
        value_pieces.append(",".join(texts[i:i + per_line]))
    if len(columns) <= per_line:
        emit(head + pieces[0] + ") VALUES (" + value_pieces[0] + ");")
        return
    emit(head + pieces[0] + ",")
    for piece in pieces[1:-1]:
        emit("\t" + piece + ",")
    emit("\t" + pieces[-1] + ")")
    emit("VALUES (" + value_pieces[0] + ",")
    for piece in value_pieces[1:-1]:
        emit("\t" + piece + ",")
    emit("\t" + value_pieces[-1] + ");")


SURNAMES = ["佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "山本", "中村", "小林", "加藤",
            "吉田", "山田", "佐々木", "山口", "松本", "井上", "木村", "林", "斎藤", "清水",
            "山崎", "森", "池田", "橋本", "阿部", "石川", "前田", "藤田", "小川", "岡田"]
GIVEN = ["太郎", "一郎", "健太", "大輔", "翔", "誠", "浩二", "直樹", "花子", "美咲",
         "由美", "恵子", "裕子", "真由美", "拓也", "亮", "和也", "学", "修", "勝"]
KANA = ["サトウ", "スズキ", "タカハシ", "タナカ", "イトウ", "ワタナベ", "ヤマモト", "ナカムラ",
        "コバヤシ", "カトウ", "ヨシダ", "ヤマダ", "ササキ", "ヤマグチ", "マツモト", "イノウエ",
        "キムラ", "ハヤシ", "サイトウ", "シミズ", "ヤマザキ", "モリ", "イケダ", "ハシモト",
        "アベ", "イシカワ", "マエダ", "フジタ", "オガワ", "オカダ"]
TRADES = [("運輸", "ウンユ"), ("物流", "ブツリュウ"), ("運送", "ウンソウ"), ("商事", "ショウジ"),
          ("建設", "ケンセツ"), ("急便", "キュウビン"), ("産業", "サンギョウ"), ("陸運", "リクウン")]
PLACES = [("愛知県", "名古屋市中区", "460"), ("愛知県", "豊田市", "471"),
          ("岐阜県", "岐阜市", "500"), ("三重県", "四日市市", "510"),
          ("静岡県", "浜松市中区", "430"), ("愛知県", "一宮市", "491"),
          ("愛知県", "岡崎市", "444"), ("岐阜県", "大垣市", "503")]
GATES = ["名古屋", "小牧", "一宮", "豊田", "岡崎", "四日市", "岐阜羽島", "浜松", "春日井",
         "東名三好", "名古屋西", "亀山", "関", "大垣", "豊明", "桑名"]
MONTHS = ["201911", "201912", "202001", "202002", "202003", "202004"]


def person():
    return rng.choice(SURNAMES) + "　" + rng.choice(GIVEN)


def address():
    pref, city, zip3 = rng.choice(PLACES)
    zip_code = "%s-%04d" % (zip3, rng.randint(1, 9999))
    street = "%d丁目%d番%d号" % (rng.randint(1, 9), rng.randint(1, 30), rng.randint(1, 20))
    return zip_code, pref + city + street


def tel():
    return "0%d-%04d-%04d" % (rng.choice([52, 562, 565, 58, 59, 53]), rng.randint(100, 9999),
                              rng.randint(0, 9999))


# ---------------------------------------------------------------------------
comment("Host database at version 1.25, as the member cooperative's system keeps it.")
comment("Generated by samples/make_host_sql.py; build it with")
comment("  VantolyPatch --db demo/host.mdb query --create -f samples/host-1.25.sql")
emit()

# --- version table ----------------------------------------------------------
comment("Schema version history: one row per applied version, the highest is current.")
emit("CREATE TABLE t_db_ver (DBVerID INTEGER NOT NULL CONSTRAINT PK_t_db_ver PRIMARY KEY,"
     " DBVerCode CURRENCY NOT NULL, DBPatchDate DATETIME, UpdateDateTime DATETIME);")
ver_dates = []
first_release, last_release = datetime.date(2008, 4, 1), datetime.date(2019, 9, 24)
for ver in range(1, 26):
    day = first_release + (last_release - first_release) * (ver - 1) // 24
    patch = Date(day.year, day.month, day.day)
    ver_dates.append(patch)
    applied = Date(day.year, day.month, day.day, 9 + ver % 9, (ver * 13) % 60, 0)
    insert("t_db_ver", ["DBVerID", "DBVerCode", "DBPatchDate", "UpdateDateTime"],
           [ver, float("1.%02d" % ver), patch, applied])
emit()

comment("Comment lines of earlier versions (the table came with version 1.10).")
emit("CREATE TABLE t_db_ver_comment (DBVerCommentID\t\tautoincrement(1, 1) PRIMARY KEY,"
     "DBVerID\t\t\tINTEGER NOT NULL CONSTRAINT FK_VERCOMMENT_DBVERID REFERENCES t_db_ver (DBVerID),"
     "DBVerComment\t\tVARCHAR(255),UpdateDateTime\t\tDATETIME );")
VER_COMMENTS = {
    10: ["１．請求書レイアウト変更", "２．送付先住所の桁数拡張"],
    11: ["１．平日朝夕割引対応"],
    12: ["１．車両番号検索追加"],
    13: ["１．消費税率変更対応"],
    14: ["１．カード有効期限管理追加", "２．再発行履歴の保存"],
    15: ["１．通行データ取込高速化"],
    16: ["１．調整金額入力追加"],
    17: ["１．大口・多頻度割引明細追加"],
    18: ["１．組合員コード桁数変更"],
    19: ["１．請求締日の変更対応", "２．帳票出力先の選択"],
    20: ["１．マイレージ登録エラー一覧追加"],
    21: ["１．消費税率１０％対応", "２．軽減税率表示"],
    22: ["１．口座振替データ出力"],
    23: ["１．阪神高速料金改定対応"],
    24: ["１．入金消込機能追加"],
    25: ["１．元号変更対応", "２．請求データ項目追加"],
}
for ver, lines in VER_COMMENTS.items():
    for line in lines:
        y, m, d = ver_dates[ver - 1].parts[:3]
        insert("t_db_ver_comment", ["DBVerID", "DBVerComment", "UpdateDateTime"],
               [ver, line, Date(y, m, d, 10, 30, 0)])
emit()

# --- cooperative and members -----------------------------------------------
comment("The cooperative that runs the system.")
emit("CREATE TABLE t_kumiai (KumiaiID COUNTER CONSTRAINT PK_t_kumiai PRIMARY KEY,"
     " KumiaiCode VARCHAR(010) NOT NULL, KumiaiName VARCHAR(100) NOT NULL,"
     " KumiaiKana VARCHAR(100), ZipCode VARCHAR(008), Address VARCHAR(200), TelNo VARCHAR(020),"
     " FaxNo VARCHAR(020), BankName VARCHAR(050), BankBranchName VARCHAR(050),"
     " BankAccountNo VARCHAR(010), CreateDateTime DATETIME NOT NULL, UpdateDateTime DATETIME);")
kumiai_cols = ["KumiaiID", "KumiaiCode", "KumiaiName", "KumiaiKana", "ZipCode", "Address", "TelNo",
               "FaxNo", "BankName", "BankBranchName", "BankAccountNo", "CreateDateTime"]
for kumiai_id, (name, kana) in enumerate([("中部運輸事業協同組合", "チュウブウンユジギョウキョウドウクミアイ"),
                                          ("東海トラック協同組合", "トウカイトラックキョウドウクミアイ")], 1):
    zip_code, addr = address()
    insert("t_kumiai", kumiai_cols,
           [kumiai_id, "%03d" % kumiai_id, name, kana, zip_code, addr, tel(), tel(),
            "中部信用金庫", "本店営業部", "%07d" % rng.randint(0, 9999999),
            Date(2008, 4, 1, 9, 0, 0)])
emit()

comment("Member companies.")
emit("CREATE TABLE t_kumi (KumiID\t\tCOUNTER,KumiaiID\tINTEGER NOT NULL,"
     "KumiCode\tVARCHAR(010) NOT NULL,KumiName\tVARCHAR(100) NOT NULL,KumiKana\tVARCHAR(100),"
     "DaihyoName\tVARCHAR(050),ZipCode\tVARCHAR(008),Address\tVARCHAR(200),TelNo\tVARCHAR(020),"
     "KeiyakuDate\tDATETIME,KaiyakuFlag\tYESNO NOT NULL DEFAULT False,"
     "CreateDateTime\tDATETIME NOT NULL,UpdateDateTime\tDATETIME DEFAULT NULL,"
     "CONSTRAINT PK_t_kumi PRIMARY KEY (KumiID),"
     "CONSTRAINT FK_KUMI_KUMIAIID FOREIGN KEY (KumiaiID) REFERENCES t_kumiai (KumiaiID));")
emit("CREATE UNIQUE INDEX IDX_KUMI_CODE ON t_kumi (KumiCode);")
KUMI_COUNT = 40
kumi_cols = ["KumiID", "KumiaiID", "KumiCode", "KumiName", "KumiKana", "DaihyoName", "ZipCode",
             "Address", "TelNo", "KeiyakuDate", "KaiyakuFlag", "CreateDateTime", "UpdateDateTime"]
for kumi_id in range(1, KUMI_COUNT + 1):
    s = rng.randrange(len(SURNAMES))
    trade, trade_kana = rng.choice(TRADES)
    zip_code, addr = address()
    created = random_stamp(2008, 2016)
    updated = random_stamp(2017, 2020) if rng.random() < 0.5 else None
    insert("t_kumi", kumi_cols,
           [kumi_id, 1 if kumi_id <= 32 else 2, "K%05d" % (kumi_id * 7), "株式会社" + SURNAMES[s] + trade,
            "カブシキガイシャ" + KANA[s] + trade_kana, person(), zip_code, addr, tel(),
            Date(created.parts[0], created.parts[1], 1), kumi_id % 13 == 0, created, updated])
emit()

comment("Where each member's bills are sent; a member may have several.")
emit("CREATE TABLE t_sofu (SofuID\tautoincrement(1, 1) CONSTRAINT PK_t_sofu PRIMARY KEY,"
     "KumiID\tINTEGER NOT NULL CONSTRAINT FK_SOFU_KUMIID REFERENCES t_kumi (KumiID),"
     "SofuName\tVARCHAR(100) NOT NULL,TantoName\tVARCHAR(050),ZipCode\tVARCHAR(008),"
     "Address\tVARCHAR(200),TelNo\tVARCHAR(020),KozaFurikaeFlag\tYESNO NOT NULL DEFAULT True,"
     "PrintTypeID\tSHORT NOT NULL DEFAULT 1,CreateDateTime\tDATETIME NOT NULL,"
     "UpdateDateTime\tDATETIME DEFAULT NULL);")
emit("CREATE INDEX IDX_SOFU_KUMIID ON t_sofu (KumiID);")
sofu_cols = ["SofuID", "KumiID", "SofuName", "TantoName", "ZipCode", "Address", "TelNo",
             "KozaFurikaeFlag", "PrintTypeID", "CreateDateTime"]
sofu_of_kumi = {}
sofu_id = 0
for kumi_id in range(1, KUMI_COUNT + 1):
    for branch in range(1 if kumi_id % 3 else 2):
        sofu_id += 1
        sofu_of_kumi.setdefault(kumi_id, []).append(sofu_id)
        zip_code, addr = address()
        name = "本社" if branch == 0 else rng.choice(["名古屋営業所", "豊田営業所", "岐阜支店", "浜松支店"])
        insert("t_sofu", sofu_cols,
               [sofu_id, kumi_id, name, person(), zip_code, addr, tel(), rng.random() < 0.8,
                rng.choice([1, 1, 1, 2, 3]), random_stamp(2009, 2018)])
SOFU_COUNT = sofu_id
emit()

comment("Vehicles of the members.")
emit("CREATE TABLE t_syaryo (SyaryoID COUNTER PRIMARY KEY, KumiID INTEGER NOT NULL,"
     " SyaryoNo VARCHAR(020) NOT NULL, SyasyuCode VARCHAR(002), MaxLoad SINGLE,"
     " CreateDateTime DATETIME NOT NULL, UpdateDateTime DATETIME,"
     " CONSTRAINT FK_SYARYO_KUMIID FOREIGN KEY (KumiID) REFERENCES t_kumi (KumiID));")
syaryo_of_kumi = {}
plates = ["名古屋", "尾張小牧", "豊田", "三河", "岐阜", "三重", "浜松"]
for syaryo_id in range(1, 91):
    kumi_id = rng.randint(1, KUMI_COUNT)
    syaryo_of_kumi.setdefault(kumi_id, []).append(syaryo_id)
    plate = "%s%d%s%02d-%02d" % (rng.choice(plates), rng.choice([100, 130, 800, 880]),
                                 rng.choice("あいうえかきくけさすせ"), rng.randint(1, 99),
                                 rng.randint(0, 99))
    insert("t_syaryo", ["SyaryoID", "KumiID", "SyaryoNo", "SyasyuCode", "MaxLoad", "CreateDateTime"],
           [syaryo_id, kumi_id, plate, rng.choice(["02", "03", "04", "05"]),
            rng.choice([2.0, 3.5, 4.0, 10.0, 13.5]), random_stamp(2010, 2019)])
emit()

comment("Corporate ETC cards issued to the members.")
emit("CREATE TABLE t_cprt_card (CprtCardID INTEGER NOT NULL, KumiID INTEGER NOT NULL,"
     " SofuID INTEGER NOT NULL, SyaryoID INTEGER, CardNo VARCHAR(016) NOT NULL,"
     " UserName VARCHAR(050), YukoKigen VARCHAR(006) NOT NULL, HakkoDate DATETIME,"
     " TeishiFlag BIT NOT NULL DEFAULT 0, Bikou MEMO, CreateDateTime DATETIME NOT NULL,"
     " UpdateDateTime DATETIME,"
     " CONSTRAINT PK_t_cprt_card PRIMARY KEY (CprtCardID),"
     " CONSTRAINT UNQ_CPRTCARD_CARDNO UNIQUE (CardNo),"
     " CONSTRAINT FK_CPRTCARD_KUMIID FOREIGN KEY (KumiID) REFERENCES t_kumi (KumiID),"
     " CONSTRAINT FK_CPRTCARD_SOFUID FOREIGN KEY (SofuID) REFERENCES t_sofu (SofuID));")
emit("CREATE INDEX IDX_CPRTCARD_KUMIID ON t_cprt_card (KumiID);")
card_cols = ["CprtCardID", "KumiID", "SofuID", "SyaryoID", "CardNo", "UserName", "YukoKigen",
             "HakkoDate", "TeishiFlag", "Bikou", "CreateDateTime"]
cards = []
for card_id in range(1, 161):
    kumi_id = rng.randint(1, KUMI_COUNT)
    sofu = rng.choice(sofu_of_kumi[kumi_id])
    syaryo = rng.choice(syaryo_of_kumi[kumi_id]) if kumi_id in syaryo_of_kumi else None
    card_no = "%04d%04d%04d%04d" % (2100, rng.randint(0, 9999), rng.randint(0, 9999), card_id)
    issued = random_stamp(2014, 2019)
    stopped = card_id % 17 == 0
    cards.append((card_id, kumi_id, sofu, card_no))
    insert("t_cprt_card", card_cols,
           [card_id, kumi_id, sofu, syaryo, card_no, person(),
            "%04d%02d" % (issued.parts[0] + 5, issued.parts[1]),
            Date(*issued.parts[:3]), stopped, "紛失のため利用停止" if stopped else None,
            issued])
emit()

# --- billing data: 87 columns ------------------------------------------------
comment("Monthly billing per card, with each operator's totals (87 columns).")
KODAN = ["Nexco", "Honshi", "Shuto", "Hanshin", "Nagoya", "Aichi", "Fukukita", "Kobe", "Hiroshima"]
KODAN_ITEMS = ["RiyouKensu", "RiyouKingaku", "AsayuKingaku", "KangenKingaku", "WaribikiKingaku",
               "ChoseiKingaku", "KonoKingaku"]
seikyu_head = [("SeikyuDataID", "COUNTER CONSTRAINT PK_t_seikyu_data PRIMARY KEY"),
               ("SeikyuMonth", "VARCHAR(006) NOT NULL"),
               ("KumiID", "INTEGER NOT NULL CONSTRAINT FK_SEIKYU_KUMIID REFERENCES t_kumi (KumiID)"),
               ("SofuID", "INTEGER NOT NULL CONSTRAINT FK_SEIKYU_SOFUID REFERENCES t_sofu (SofuID)"),
               ("CprtCardID", "INTEGER NOT NULL"
                " CONSTRAINT FK_SEIKYU_CPRTCARDID REFERENCES t_cprt_card (CprtCardID)"),
               ("CardNo", "VARCHAR(016) NOT NULL"), ("UserName", "VARCHAR(050)"),
               ("RiyouKensu", "INTEGER NOT NULL DEFAULT 0"),
               ("RiyouKingaku", "INTEGER NOT NULL DEFAULT 0"),
               ("AsayuKingaku", "INTEGER NOT NULL DEFAULT 0"),
               ("KangenKingaku", "INTEGER NOT NULL DEFAULT 0"),
               ("OguchiWaribiki", "INTEGER NOT NULL DEFAULT 0"),
               ("KonoKingaku", "INTEGER NOT NULL DEFAULT 0"),
               ("TaisyoKingaku", "INTEGER NOT NULL DEFAULT 0")]
seikyu_kodan = [(k + item, "INTEGER NOT NULL DEFAULT 0") for k in KODAN for item in KODAN_ITEMS]
seikyu_tail = [("KanriRyoRate", "DOUBLE NOT NULL DEFAULT 0.0"),
               ("KanriRyo", "INTEGER NOT NULL DEFAULT 0"),
               ("Tesuryo", "INTEGER NOT NULL DEFAULT 0"),
               ("SyohiZei", "CURRENCY NOT NULL DEFAULT 0"),
               ("SeikyuKingaku", "INTEGER NOT NULL DEFAULT 0"),
               ("NyukinKingaku", "INTEGER"), ("NyukinDate", "DATETIME"),
               ("KakuteiFlag", "YESNO NOT NULL DEFAULT False"),
               ("CreateDateTime", "DATETIME NOT NULL"), ("UpdateDateTime", "DATETIME DEFAULT NULL")]
seikyu_columns = seikyu_head + seikyu_kodan + seikyu_tail
assert len(seikyu_columns) == 87, len(seikyu_columns)
emit("CREATE TABLE t_seikyu_data (")
for i, (name, decl) in enumerate(seikyu_columns):
    emit("\t%s\t%s%s" % (name, decl, "," if i + 1 < len(seikyu_columns) else ");"))
emit("CREATE INDEX IDX_SEIKYU_MONTH ON t_seikyu_data (SeikyuMonth);")
emit("CREATE UNIQUE INDEX UNQ_SEIKYU_CARD_MONTH ON t_seikyu_data (CprtCardID, SeikyuMonth);")
seikyu_names = [name for name, _ in seikyu_columns if name != "UpdateDateTime"]
seikyu_id = 0
for month in MONTHS[-4:]:
    for card_id, kumi_id, sofu, card_no in rng.sample(cards, 30):
        seikyu_id += 1
        per_kodan = []
        riyou_total = asayu_total = kangen_total = kono_total = kensu_total = 0
        for k in KODAN:
            used = rng.random() < (0.9 if k == "Nexco" else 0.25)
            kensu = rng.randint(1, 40) if used else 0
            riyou = kensu * rng.randint(8, 60) * 50
            asayu = riyou * rng.choice([0, 0, 30, 50]) // 100 // 10 * 10
            kangen = riyou // 100 * rng.choice([0, 0, 1, 2])
            waribiki = riyou // 100 * rng.choice([0, 5, 10])
            chosei = rng.choice([0, 0, 0, -120, 300])
            kono = riyou - asayu - kangen - waribiki + chosei
            per_kodan += [kensu, riyou, asayu, kangen, waribiki, chosei, kono]
            riyou_total += riyou
            asayu_total += asayu
            kangen_total += kangen
            kono_total += kono
            kensu_total += kensu
        rate = rng.choice([0.0, 1.0, 2.5])
        kanri = int(kono_total * rate / 100)
        tesuryo = 110 if kensu_total else 0
        zei = round((kanri + tesuryo) * 0.1, 2)
        seikyu = kono_total + kanri + tesuryo + int(zei)
        paid = month != MONTHS[-1]
        y, m = int(month[:4]), int(month[4:])
        pay_date = Date(y + (m == 12), m % 12 + 1, 27) if paid else None
        values = ([seikyu_id, month, kumi_id, sofu, card_id, card_no, person(), kensu_total,
                   riyou_total, asayu_total, kangen_total, 0, kono_total,
                   kono_total - kangen_total] + per_kodan +
                  [rate, kanri, tesuryo, zei, seikyu, seikyu if paid else None, pay_date, paid,
                   Date(y + (m == 12), m % 12 + 1, 5, 18, 0, 0)])
        insert("t_seikyu_data", seikyu_names, values)
emit()

# --- older card and mileage tables (replaced by the next version) -----------
comment("Card tables of the old card management, replaced by the mileage tables.")
emit("CREATE TABLE t_card (CardID COUNTER PRIMARY KEY, KumiID INTEGER NOT NULL,"
     " CardNo VARCHAR(016) NOT NULL, CardKind BYTE NOT NULL DEFAULT 1, CreateDateTime DATETIME NOT NULL,"
     " CONSTRAINT FK_CARD_KUMIID FOREIGN KEY (KumiID) REFERENCES t_kumi (KumiID));")
emit("CREATE TABLE t_seikyu_card (SeikyuCardID COUNTER PRIMARY KEY,"
     " CardID INTEGER NOT NULL CONSTRAINT FK_SEIKYUCARD_CARDID REFERENCES t_card (CardID),"
     " SeikyuMonth VARCHAR(006) NOT NULL, SeikyuKingaku INTEGER DEFAULT 0, CreateDateTime DATETIME NOT NULL);")
emit("CREATE TABLE t_card_history (CardHistoryID COUNTER PRIMARY KEY,"
     " CardID INTEGER NOT NULL CONSTRAINT FK_CARDHISTORY_CARDID REFERENCES t_card (CardID),"
     " ChangeDate DATETIME NOT NULL, ChangeReason VARCHAR(100));")
emit("CREATE TABLE t_read_tsuko_data (ReadTsukoDataID COUNTER PRIMARY KEY, CardID INTEGER NOT NULL,"
     " TsukoDateTime DATETIME NOT NULL, InnGateName VARCHAR(020), OutGateName VARCHAR(020),"
     " RiyouKingaku INTEGER DEFAULT 0,"
     " CONSTRAINT FK_READTSUKO_CARDID FOREIGN KEY (CardID) REFERENCES t_card (CardID));")
emit("CREATE TABLE t_adjustment_kingaku (AdjustmentID COUNTER PRIMARY KEY, KumiID INTEGER NOT NULL,"
     " SeikyuMonth VARCHAR(006) NOT NULL, AdjustmentKingaku CURRENCY NOT NULL DEFAULT 0,"
     " AdjustmentReason VARCHAR(255), CreateDateTime DATETIME NOT NULL,"
     " CONSTRAINT FK_ADJUSTMENT_KUMIID FOREIGN KEY (KumiID) REFERENCES t_kumi (KumiID));")
emit("CREATE TABLE t_asayu_return (AsayuReturnID COUNTER PRIMARY KEY, AsayuReturnCode VARCHAR(002) NOT NULL,"
     " AsayuReturnName VARCHAR(050) NOT NULL);")
for card_id in range(1, 31):
    kumi_id = rng.randint(1, KUMI_COUNT)
    insert("t_card", ["CardID", "KumiID", "CardNo", "CardKind", "CreateDateTime"],
           [card_id, kumi_id, "%04d%04d%04d%04d" % (2000, rng.randint(0, 9999), rng.randint(0, 9999), card_id),
            rng.choice([1, 1, 2]), random_stamp(2010, 2013)])
for row_id in range(1, 21):
    card_id = rng.randint(1, 30)
    insert("t_seikyu_card", ["SeikyuCardID", "CardID", "SeikyuMonth", "SeikyuKingaku", "CreateDateTime"],
           [row_id, card_id, "2013%02d" % rng.randint(1, 12), rng.randint(10, 900) * 100,
            random_stamp(2013, 2013)])
for row_id in range(1, 11):
    insert("t_card_history", ["CardHistoryID", "CardID", "ChangeDate", "ChangeReason"],
           [row_id, rng.randint(1, 30), random_stamp(2012, 2014), rng.choice(["再発行", "車両変更", "解約"])])
for row_id in range(1, 41):
    inn, out = rng.sample(GATES, 2)
    insert("t_read_tsuko_data", ["ReadTsukoDataID", "CardID", "TsukoDateTime", "InnGateName",
                                 "OutGateName", "RiyouKingaku"],
           [row_id, rng.randint(1, 30), random_stamp(2013, 2013), inn, out, rng.randint(5, 120) * 50])
for row_id in range(1, 13):
    insert("t_adjustment_kingaku", ["AdjustmentID", "KumiID", "SeikyuMonth", "AdjustmentKingaku",
                                    "AdjustmentReason", "CreateDateTime"],
           [row_id, rng.randint(1, KUMI_COUNT), rng.choice(MONTHS), rng.choice([-500, -120.5, 300, 1000]),
            rng.choice(["前月分過請求の調整", "カード再発行手数料", "通行料金の訂正"]), random_stamp(2019, 2020)])
insert("t_asayu_return", ["AsayuReturnID", "AsayuReturnCode", "AsayuReturnName"], [1, "01", "戻す"])
insert("t_asayu_return", ["AsayuReturnID", "AsayuReturnCode", "AsayuReturnName"], [2, "02", "戻さない"])
emit()

comment("First mileage tables, replaced by the next version's own.")
emit("CREATE TABLE t_mileage_card_status (MileageCardStatusID SHORT NOT NULL PRIMARY KEY,"
     " MileageCardStatusName VARCHAR(020) NOT NULL);")
emit("CREATE TABLE t_mileage_card (MileageCardID COUNTER PRIMARY KEY,"
     " MileageCardStatusID SHORT NOT NULL, CprtCardNo VARCHAR(016) NOT NULL, RegistDate DATETIME,"
     " CONSTRAINT FK_MILEAGECARD_STATUSID FOREIGN KEY (MileageCardStatusID)"
     " REFERENCES t_mileage_card_status (MileageCardStatusID));")
emit("CREATE TABLE t_mileage_registration_error (MileageRegistrationErrorID COUNTER PRIMARY KEY,"
     " MileageCardID INTEGER NOT NULL, ErrorText VARCHAR(255), ErrorDateTime DATETIME,"
     " CONSTRAINT FK_MILEAGEREGERR_CARDID FOREIGN KEY (MileageCardID) REFERENCES t_mileage_card (MileageCardID));")
emit("CREATE TABLE t_mileage_rate_type (MileageRateTypeID SHORT PRIMARY KEY, MileageRateTypeName VARCHAR(050));")
emit("CREATE TABLE t_mileage_kodan (MileageKodanID SHORT PRIMARY KEY, MileageKodanName VARCHAR(050));")
emit("CREATE TABLE t_mileage_status (MileageStatusID SHORT PRIMARY KEY, MileageStatusName VARCHAR(020));")
emit("CREATE TABLE t_mileage (MileageID COUNTER PRIMARY KEY, MileageStatusID SHORT NOT NULL"
     " CONSTRAINT FK_MILEAGE_STATUSID REFERENCES t_mileage_status (MileageStatusID),"
     " SeikyuMonth VARCHAR(006), Point INTEGER DEFAULT 0);")
emit("CREATE TABLE t_mileage_expense (MileageExpenseID COUNTER PRIMARY KEY, MileageID INTEGER NOT NULL"
     " CONSTRAINT FK_MILEAGEEXPENSE_MILEAGEID REFERENCES t_mileage (MileageID),"
     " ExpenseKingaku INTEGER DEFAULT 0);")
for status_id, name in [(1, "登録申請中"), (2, "登録済"), (3, "登録エラー"), (4, "解除")]:
    insert("t_mileage_card_status", ["MileageCardStatusID", "MileageCardStatusName"], [status_id, name])
for row_id, (card_id, _, _, card_no) in enumerate(cards[:12], 1):
    insert("t_mileage_card", ["MileageCardID", "MileageCardStatusID", "CprtCardNo", "RegistDate"],
           [row_id, 3 if row_id in (4, 9) else 2, card_no, random_stamp(2016, 2017)])
insert("t_mileage_registration_error", ["MileageRegistrationErrorID", "MileageCardID", "ErrorText", "ErrorDateTime"],
       [1, 4, "カード番号が登録されていません", Date(2017, 3, 2, 11, 5, 0)])
insert("t_mileage_registration_error", ["MileageRegistrationErrorID", "MileageCardID", "ErrorText", "ErrorDateTime"],
       [2, 9, "有効期限切れ", Date(2017, 6, 20, 15, 40, 0)])
for type_id, name in [(1, "なし"), (2, "定率")]:
    insert("t_mileage_rate_type", ["MileageRateTypeID", "MileageRateTypeName"], [type_id, name])
for kodan_id, name in [(1, "NEXCO"), (2, "首都高速"), (3, "阪神高速")]:
    insert("t_mileage_kodan", ["MileageKodanID", "MileageKodanName"], [kodan_id, name])
for status_id, name in [(1, "未還元"), (2, "還元済")]:
    insert("t_mileage_status", ["MileageStatusID", "MileageStatusName"], [status_id, name])
for row_id in range(1, 9):
    insert("t_mileage", ["MileageID", "MileageStatusID", "SeikyuMonth", "Point"],
           [row_id, rng.choice([1, 2]), rng.choice(MONTHS), rng.randint(100, 5000)])
for row_id in range(1, 5):
    insert("t_mileage_expense", ["MileageExpenseID", "MileageID", "ExpenseKingaku"],
           [row_id, rng.randint(1, 8), rng.randint(1, 50) * 100])

for line in out_lines:
    assert len(line.encode("utf-8")) <= 512, line
    assert not line.startswith("#") or line.startswith("# "), line
sys.stdout.write("\n".join(out_lines) + "\n")
