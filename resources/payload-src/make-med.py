#!/usr/bin/env python3
"""Writes md_scr2.med, a stand-in for the game's scenario data, part two.

The real file comes from the game's maker; this one only has to look and pack like
it: a scene archive with a header, a scene index, a compact command stream per
scene, and a table of Shift-JIS (code page 932) texts that the commands refer to.
The output is the same bytes on every run.

Layout, all integers little-endian:

  header      16 bytes   "MED2", version 2, table count, file size, and a checksum:
                         the sum of all bytes after these 16
  directory   8 bytes    per table: its offset in the file and its entry count
  tables, each starting on a multiple of four:
    scenes    32 bytes   per scene: id, flags (1: replay copy), code offset and
                         length, title and synopsis text numbers, title (16 bytes)
    speakers  16 bytes   per speaker: name, NUL-padded
    code      bytes      the command streams of all scenes, one after another
    texts     4 bytes    per text an offset in the table, then the texts, each
                         ended by NUL
    voices    62 bytes   per spoken line: text number, voice file stem, length in
                         milliseconds, twelve lip-sync keys (time, mouth shape)
    glossary  4 bytes    per term: text numbers of the term and its explanation
    gallery   10 bytes   per event picture: file stem, title text number
    music     8 bytes    per piece: file stem, title text number

Usage: make-med.py OUT
"""

import struct
import sys

SPEAKERS = ["", "カイ", "リーネ", "ゼルマ", "塔守", "少年", "？？？"]
NARRATION, KAI, RINE, ZELMA, KEEPER, BOY, UNKNOWN = range(len(SPEAKERS))

# Commands of the scene streams.
OP_BG, OP_BGM, OP_CHAR, OP_HIDE, OP_FACE = 0x01, 0x02, 0x03, 0x04, 0x05
OP_MSG, OP_SE, OP_WAIT = 0x10, 0x11, 0x12
OP_CHOICE, OP_FLAG, OP_IF, OP_JUMP, OP_FADE, OP_END = 0x20, 0x30, 0x31, 0x32, 0x40, 0xFF

# Each scene: id, title, background, music, and its lines as (speaker, text).
SCENES = [
    (201, "塔のふもと", 12, 5, [
        (NARRATION, "丘の上に、その塔は空を突くように建っていた。"),
        (NARRATION, "石積みの壁は風に削られ、ところどころ苔に覆われている。"),
        (KAI, "これが風見の塔か。思っていたよりずっと高いな。"),
        (RINE, "百二十年前に建てられたんだって。街の人はもう誰も近づかないけど。"),
        (KAI, "どうして近づかないんだ？"),
        (RINE, "夜になると、塔のてっぺんで風見が鳴るの。誰もいないはずなのに。"),
        (KAI, "……それは、ただの風の音じゃないのか。"),
        (RINE, "そう思う？　じゃあ、確かめに行きましょう。"),
        (NARRATION, "リーネはそう言って、錆びた門を押し開けた。"),
        (NARRATION, "蝶番がきしむ音が、思いのほか大きく響く。"),
        (UNKNOWN, "――誰だ。"),
        (KAI, "今の声、聞こえたか？"),
        (RINE, "ええ。上からだった。"),
        (NARRATION, "見上げても、窓にはただ暗い影が並んでいるだけだった。"),
    ]),
    (202, "螺旋階段", 13, 6, [
        (NARRATION, "塔の中は、外から見たよりも広かった。"),
        (NARRATION, "壁に沿って、石の螺旋階段がどこまでも続いている。"),
        (RINE, "足もとに気をつけて。段がいくつか欠けてるから。"),
        (KAI, "ランプを貸してくれ。先に行く。"),
        (RINE, "ううん、わたしが先。この塔のことは、わたしのほうが知ってる。"),
        (KAI, "知ってる？　来たことがあるのか。"),
        (RINE, "……小さいころに、一度だけ。"),
        (NARRATION, "リーネはそれ以上、何も言わなかった。"),
        (NARRATION, "三十段ほど登ったところで、踊り場に小さな扉が現れた。"),
        (KAI, "この扉は？"),
        (RINE, "書庫よ。塔を建てた人たちの記録が残っているはず。"),
        (NARRATION, "扉には、古い文字で何かが刻まれていた。"),
        (KAI, "「風を読む者のみ、ここを通れ」……か。"),
    ]),
    (203, "書庫の扉", 14, 6, [
        (NARRATION, "扉に手をかけると、ひんやりとした感触が指に伝わった。"),
        (KAI, "鍵がかかってる。"),
        (RINE, "鍵穴の形を見て。風見鶏の形をしてる。"),
        (KAI, "本当だ。じゃあ、鍵も風見鶏の形をしてるってことか。"),
        (RINE, "そういえば、ふもとの門の上に、同じ飾りがあったわね。"),
        (KAI, "取ってくる。ここで待っててくれ。"),
        (RINE, "気をつけてね。"),
        (NARRATION, "門の飾りは、軽くひねるだけで外れた。"),
        (NARRATION, "裏側に、細い金属の棒が差し込まれている。"),
        (KAI, "やっぱりこれが鍵だ。"),
        (NARRATION, "踊り場に戻り、鍵を差し込む。"),
        (NARRATION, "低い音を立てて、書庫の扉がゆっくりと開いた。"),
    ]),
    (204, "書庫", 15, 7, [
        (NARRATION, "書庫の中は、乾いた紙とほこりの匂いで満ちていた。"),
        (NARRATION, "壁一面の棚に、革表紙の本がぎっしりと並んでいる。"),
        (RINE, "すごい……。こんなにたくさん残ってたなんて。"),
        (KAI, "風の記録、か。毎日の風向きを書き留めてあるみたいだ。"),
        (RINE, "百二十年分、一日も欠かさずに。"),
        (KAI, "誰がこんなことを続けたんだ。"),
        (ZELMA, "わたしと、わたしの前の者たちだよ。"),
        (NARRATION, "振り向くと、棚の陰に小柄な老婆が立っていた。"),
        (RINE, "ゼルマおばあさん！"),
        (ZELMA, "大きくなったね、リーネ。十年ぶりかい。"),
        (KAI, "知り合いなのか。"),
        (RINE, "わたしに字を教えてくれた人。この塔の司書なの。"),
        (ZELMA, "司書といっても、もう読む者もいないがね。"),
        (ZELMA, "それで、今ごろ何をしに来たんだい。"),
        (RINE, "夜に風見が鳴るって聞いたの。本当なの？"),
        (ZELMA, "本当さ。そして、それは悪い知らせだ。"),
    ]),
    (211, "ゼルマの記録", 15, 14, [
        (ZELMA, "これを見てごらん。五十年前の、わたしの記録だ。"),
        (NARRATION, "ゼルマは棚の一番上から、黒ずんだ帳面を取り出した。"),
        (RINE, "字が震えてる……。"),
        (ZELMA, "書いたのは、嵐の前の晩だからね。わたしもまだ若かった。"),
        (ZELMA, "あの晩、先代の塔守は街じゅうを走り回った。"),
        (ZELMA, "水門を閉じろ、鐘を鳴らせと、一軒一軒、戸をたたいてね。"),
        (KAI, "それでも、誰も聞かなかったんですか。"),
        (ZELMA, "聞いた者もいた。だが、動いた者はいなかった。"),
        (ZELMA, "明日でいい、まだ雨も降っていない、とね。"),
        (NARRATION, "帳面の最後の頁には、一行だけ、強い字で書かれていた。"),
        (RINE, "「次に風見が鳴るとき、わたしは必ず信じさせる」"),
        (ZELMA, "そう書いたのに、わたしはもう、塔の外へ出る足がない。"),
        (KAI, "だったら、俺たちが行きます。"),
        (ZELMA, "……ありがとうよ。先代も、きっと喜ぶ。"),
    ]),
    (205, "塔守", 16, 8, [
        (ZELMA, "風見が鳴るのは、大きな嵐が来る前だけだよ。"),
        (ZELMA, "前に鳴ったのは五十年前。街の半分が水に沈んだ。"),
        (KAI, "それを、街の人たちに知らせないと。"),
        (ZELMA, "知らせたさ。誰も信じなかった。"),
        (KEEPER, "信じぬ者に、無理に信じさせることはない。"),
        (NARRATION, "低い声とともに、書庫の奥から背の高い男が現れた。"),
        (KAI, "あなたは？"),
        (KEEPER, "この塔の塔守だ。おまえたちが来ることは、風が教えてくれた。"),
        (RINE, "風が？"),
        (KEEPER, "風を読めば、たいていのことはわかる。"),
        (KEEPER, "嵐は三日後の夜に来る。止めることはできない。"),
        (KAI, "止められなくても、備えることはできるはずだ。"),
        (KEEPER, "ならば、屋上へ行け。風見がおまえに何をすべきか教えるだろう。"),
    ]),
    (206, "嵐の前夜", 17, 9, [
        (NARRATION, "その夜、塔の窓を打つ風は、次第に強くなっていった。"),
        (RINE, "眠れないの？"),
        (KAI, "ああ。三日後の嵐のことを考えてた。"),
        (RINE, "わたしね、小さいころ、この塔で迷子になったことがあるの。"),
        (RINE, "泣いていたら、ゼルマおばあさんが見つけてくれた。"),
        (RINE, "それからずっと、この塔はわたしの秘密の場所だった。"),
        (KAI, "だから、街の人が近づかなくなっても、ここに来たかったのか。"),
        (RINE, "うん。でも、一人じゃ怖くて来られなかった。"),
        (RINE, "……ありがとう、一緒に来てくれて。"),
        (KAI, "礼を言うのは、全部終わってからにしよう。"),
        (NARRATION, "遠くで、雷の音がした。"),
        (BOY, "ねえ、誰かいるの？"),
        (NARRATION, "階段の下から、小さな男の子が顔を出した。"),
        (BOY, "風見の音がしたから、見に来たんだ。"),
    ]),
    (207, "屋上の風見", 18, 10, [
        (NARRATION, "屋上に出ると、風が一気に体を押し返してきた。"),
        (NARRATION, "塔のてっぺんで、鉄の風見鶏が激しく回っている。"),
        (KAI, "これが……鳴っていたのか。"),
        (RINE, "見て、風見鶏の足もと。何か書いてある。"),
        (KAI, "「西の水門を閉じよ。東の鐘を三度鳴らせ」"),
        (RINE, "五十年前の嵐のときの、指示だわ。"),
        (KEEPER, "そのとおりだ。あのときは、誰も従わなかった。"),
        (KAI, "今度は違う。俺が水門へ行く。"),
        (RINE, "じゃあ、わたしが鐘を鳴らす。"),
        (ZELMA, "鐘は重いよ。あんた一人で鳴らせるかい。"),
        (BOY, "ぼくも手伝う！"),
        (KEEPER, "決まったな。夜明けまでに、すべてを済ませるんだ。"),
    ]),
    (212, "嵐", 22, 15, [
        (NARRATION, "三日目の夕方、西の空が墨を流したように暗くなった。"),
        (NARRATION, "最初の雨粒が、塔の屋根を打ちはじめる。"),
        (KEEPER, "来たぞ。もう迷っている時間はない。"),
        (KAI, "リーネ、鐘を頼む。水門は俺と塔守で閉じる。"),
        (RINE, "わかった。二人とも、無事で戻ってきて。"),
        (BOY, "ぼく、鐘のある広場までの近道を知ってる！"),
        (RINE, "本当？　じゃあ、案内して。"),
        (ZELMA, "風は西から東へ抜ける。広場へは、建物の陰を伝って行くんだよ。"),
        (NARRATION, "四人は、それぞれの場所へと駆け出した。"),
        (NARRATION, "ゼルマは一人、書庫の窓からその背中を見送っていた。"),
    ]),
    (213, "西の水門", 23, 16, [
        (NARRATION, "川はすでに、土手のすぐ下まで水かさを増していた。"),
        (KAI, "これが水門か。ハンドルが錆びついてる。"),
        (KEEPER, "二人で回すぞ。息を合わせろ。"),
        (KAI, "せえの――！"),
        (NARRATION, "鉄のきしむ音が、雨音に混じって響いた。"),
        (NARRATION, "ハンドルは少しずつ、重たく回りはじめる。"),
        (KEEPER, "あと半分だ。手を離すなよ。"),
        (KAI, "わかってる……！"),
        (NARRATION, "濁った水が、閉じかけた門の隙間で渦を巻く。"),
        (KAI, "閉まった……。閉まったぞ！"),
        (KEEPER, "よくやった。五十年前には、この手が届かなかった。"),
        (NARRATION, "そのとき、東の空から、鐘の音が一つ聞こえてきた。"),
    ]),
    (214, "東の鐘", 24, 17, [
        (NARRATION, "広場の鐘は、思っていたよりもずっと大きかった。"),
        (RINE, "綱が重い……。一人じゃ、とても引けない。"),
        (BOY, "ぼくも引く！　一緒にやろう。"),
        (RINE, "ありがとう。せえので引くのよ。"),
        (NARRATION, "一度目の鐘が、雨の街に低く響き渡った。"),
        (NARRATION, "窓がひとつ、またひとつと開いていく。"),
        (BOY, "みんな、気づいたよ！"),
        (RINE, "まだよ。あと二回。"),
        (NARRATION, "二度目の鐘。通りに人が出てきて、空を見上げる。"),
        (NARRATION, "三度目の鐘が鳴りやむころには、人々は高台へと歩きはじめていた。"),
        (RINE, "……信じてくれた。"),
        (BOY, "お姉ちゃん、泣いてるの？"),
        (RINE, "雨よ。ただの雨。"),
    ]),
    (215, "夜明けの街", 25, 12, [
        (NARRATION, "高台から見下ろす街は、朝の光の中で静かに濡れていた。"),
        (NARRATION, "低い地区の通りには水が残っていたが、家々の屋根はどれも無事だった。"),
        (KAI, "リーネ！　無事だったか。"),
        (RINE, "カイこそ。水門、閉じてくれたのね。"),
        (KAI, "塔守と二人がかりで、やっとだ。鐘、ちゃんと聞こえたぞ。"),
        (BOY, "ぼくも引いたんだよ！　三回とも！"),
        (KEEPER, "見事だった。街の者たちも、今度は信じた。"),
        (NARRATION, "人々の中から、誰かが塔のほうを指さした。"),
        (NARRATION, "丘の上で、風見鶏が朝日を受けて光っている。"),
        (RINE, "おばあさんにも、見せてあげたいな。"),
        (KAI, "帰ろう。ゼルマさんが待ってる。"),
    ]),
    (208, "リーネの選択", 19, 11, [
        (NARRATION, "嵐は、塔守の言ったとおり三日後の夜にやってきた。"),
        (NARRATION, "だが、水門は閉じられ、鐘の音は街じゅうに届いた。"),
        (NARRATION, "夜が明けるころには、雨も風もすっかりおさまっていた。"),
        (KAI, "終わったな。"),
        (RINE, "うん。街は無事だった。"),
        (ZELMA, "ありがとうよ、二人とも。五十年分の借りが返せた。"),
        (KEEPER, "リーネ。おまえには風を読む力がある。"),
        (KEEPER, "この塔に残り、わたしのあとを継ぐ気はないか。"),
        (RINE, "わたしが……塔守に？"),
        (KAI, "リーネ。どうするかは、おまえが決めていい。"),
    ]),
    (209, "塔に残る", 20, 12, [
        (RINE, "わたし、この塔に残る。"),
        (RINE, "ここは、わたしの大事な場所だから。"),
        (KAI, "そうか。おまえらしいな。"),
        (RINE, "また来てくれる？"),
        (KAI, "ああ。風見が鳴らない日に、な。"),
        (NARRATION, "塔を振り返ると、風見鶏が静かに東を向いていた。"),
    ]),
    (210, "街へ帰る", 21, 13, [
        (RINE, "ごめんなさい。わたしは、街へ帰ります。"),
        (RINE, "街の人たちに、この塔のことを伝えたいの。"),
        (KEEPER, "それもまた、風を読む者の務めだ。"),
        (KAI, "行こう、リーネ。"),
        (NARRATION, "二人が丘を下りはじめたとき、背中で風見が一度だけ鳴った。"),
    ]),
]

# Scenes play in the order of the list; a scene without a choice jumps to the next.
NEXT = {a[0]: b[0] for a, b in zip(SCENES, SCENES[1:])}

# Choices: scene id -> [(text, target scene id)].
CHOICES = {208: [("塔に残る", 209), ("街へ帰る", 210)]}

# Replay mode plays these scenes again from the same texts.
REPLAYS = [204, 211, 207, 213, 214, 208]

# The glossary: term and explanation, shown from the game's menu.
GLOSSARY = [
    ("風見の塔", "街の西の丘に建つ石造りの塔。百二十年前、嵐から街を守るために建てられた。"),
    ("風見鶏", "塔のてっぺんにある鉄の飾り。大きな嵐の前にだけ、ひとりでに鳴るという。"),
    ("書庫", "塔の中ほどにある部屋。歴代の塔守が書き残した風の記録が納められている。"),
    ("塔守", "塔を守り、風を読む者。街の人々からは、ほとんど忘れられている。"),
    ("西の水門", "街を流れる川の水門。嵐のときに閉じなければ、街の低い地区が水に沈む。"),
    ("東の鐘", "街の東の広場にある大きな鐘。三度鳴らすのは、嵐の知らせの合図。"),
    ("五十年前の嵐", "街の半分が水に沈んだ大嵐。塔の知らせを信じる者はいなかった。"),
]


# What the replay menu says about each scene.
SYNOPSES = {
    201: "カイとリーネは、夜ごと風見が鳴るという塔を訪れる。門をくぐると、上から声がした。",
    202: "螺旋階段を登る二人。リーネは、幼いころに一度この塔へ来たことがあるという。",
    203: "書庫の扉には鍵がかかっていた。鍵穴の形は、ふもとの門の飾りと同じだった。",
    204: "書庫で二人を迎えたのは、リーネに字を教えた司書ゼルマだった。",
    211: "ゼルマが取り出したのは、五十年前の嵐の前夜に書かれた帳面だった。",
    205: "塔守は告げる。嵐は三日後の夜に来る、止めることはできない、と。",
    206: "眠れない夜。リーネは塔が自分の秘密の場所だったことを打ち明ける。",
    207: "屋上の風見鶏の足もとには、五十年前の嵐のときの指示が刻まれていた。",
    212: "ついに嵐がやってきた。四人はそれぞれの場所へと駆け出す。",
    213: "カイと塔守は、錆びついた水門のハンドルに手をかける。",
    214: "リーネと少年は、広場の大きな鐘の綱を引く。",
    215: "嵐が去った朝。高台に集まった人々の中で、カイとリーネは再会する。",
    208: "嵐は去り、街は無事だった。塔守はリーネに、あとを継がないかと問う。",
    209: "リーネは塔に残ることを選んだ。",
    210: "リーネは街へ帰ることを選んだ。",
}

# The event pictures of the gallery: file stem and title.
GALLERY = [
    ("ev2_01a", "丘の上の塔"), ("ev2_01b", "錆びた門"), ("ev2_02a", "螺旋階段"),
    ("ev2_03a", "風見鶏の鍵"), ("ev2_04a", "書庫の棚"), ("ev2_04b", "ゼルマとの再会"),
    ("ev2_05a", "五十年前の帳面"), ("ev2_06a", "塔守"), ("ev2_07a", "嵐の前夜"),
    ("ev2_07b", "階段の下の少年"), ("ev2_08a", "屋上の風見"), ("ev2_09a", "西の空"),
    ("ev2_10a", "水門のハンドル"), ("ev2_10b", "閉じた水門"), ("ev2_11a", "広場の鐘"),
    ("ev2_11b", "三度目の鐘"), ("ev2_12a", "夜明けの街"), ("ev2_13a", "塔に残る"),
    ("ev2_13b", "街へ帰る"),
]

# The music room: file stem and title, by the numbers the scenes use.
MUSIC = [
    ("bgm05", "丘を渡る風"), ("bgm06", "石の階段"), ("bgm07", "紙と埃の匂い"),
    ("bgm08", "塔守の声"), ("bgm09", "眠れない夜"), ("bgm10", "風見鶏"),
    ("bgm11", "選択"), ("bgm12", "東を向く風見"), ("bgm13", "丘を下りて"),
    ("bgm14", "古い帳面"), ("bgm15", "嵐"), ("bgm16", "水門"), ("bgm17", "鐘"),
]


def lip_sync(seed, count=12):
    """Mouth-movement keys of a voiced line: a time in milliseconds and an opening."""
    keys, x, t = [], seed * 2654435761 & 0xFFFFFFFF, 0
    for _ in range(count):
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        t += 60 + (x >> 16) % 180
        keys.append((t, (x >> 8) % 4))
    return keys


class Texts:
    """The text table: every distinct text once, numbered in order of first use."""

    def __init__(self):
        self.items, self.index = [], {}

    def add(self, text):
        if text not in self.index:
            self.index[text] = len(self.items)
            self.items.append(text.encode("cp932"))
        return self.index[text]


def scene_code(scene, texts, voices, replay=False):
    sid, title, bg, bgm, lines = scene
    code = bytearray()
    code += struct.pack("<BH", OP_FADE, 30)
    code += struct.pack("<BH", OP_BG, bg)
    code += struct.pack("<BH", OP_BGM, bgm)
    on_stage = set()
    for n, (speaker, text) in enumerate(lines):
        if speaker not in (NARRATION, UNKNOWN) and speaker not in on_stage:
            slot = len(on_stage) % 3
            code += struct.pack("<BBBB", OP_CHAR, slot, speaker, n % 4)
            on_stage.add(speaker)
        if speaker != NARRATION:
            text = "「" + text.replace("「", "『").replace("」", "』") + "」"
            code += struct.pack("<BBB", OP_FACE, speaker, (sid + n) % 5)
        t = texts.add(text)
        code += struct.pack("<BBH", OP_MSG, speaker, t)
        if speaker != NARRATION and not replay:
            stem = "%s%03d_%03d" % ("vkrzbxu"[speaker], sid % 1000, n)
            voices.append((t, stem))
        if "鳴" in text or "音" in text:
            code += struct.pack("<BH", OP_SE, 40 + sid % 7)
        if n % 5 == 4:
            code += struct.pack("<BH", OP_WAIT, 45)
    for speaker in sorted(on_stage):
        code += struct.pack("<BB", OP_HIDE, speaker)
    if sid in CHOICES and not replay:
        options = CHOICES[sid]
        code += struct.pack("<BB", OP_CHOICE, len(options))
        for text, target in options:
            code += struct.pack("<HH", texts.add(text), target)
    elif sid in (209, 210):
        code += struct.pack("<BHB", OP_FLAG, sid - 200, 1)
    elif not replay:
        code += struct.pack("<BH", OP_JUMP, NEXT[sid])
    code += struct.pack("<BH", OP_FADE, 60)
    code += bytes([OP_END])
    return bytes(code)


def build():
    texts, voices = Texts(), []
    scenes = [(s, scene_code(s, texts, voices)) for s in SCENES]
    by_id = {s[0]: s for s in SCENES}
    replays = [(by_id[sid], scene_code(by_id[sid], texts, [], replay=True)) for sid in REPLAYS]
    entries = scenes + replays

    # The tables in file order; the directory in the header gives each one's place.
    code = bytearray()
    index = bytearray()
    for n, ((sid, title, *_), body) in enumerate(entries):
        flags = 1 if n >= len(scenes) else 0  # 1: a replay copy
        name = title.encode("cp932").ljust(16, b"\0")
        index += struct.pack("<HHIIHH", sid, flags, len(code), len(body), texts.add(title),
                             texts.add(SYNOPSES[sid])) + name
        code += body
    speakers = b"".join(s.encode("cp932").ljust(16, b"\0") for s in SPEAKERS)
    voice_table = bytearray()
    for t, stem in voices:
        keys = lip_sync(t)
        voice_table += struct.pack("<H10sH", t, stem.encode("ascii"), keys[-1][0] + 200)
        voice_table += b"".join(struct.pack("<HH", time, shape) for time, shape in keys)
    glossary = b"".join(struct.pack("<HH", texts.add(term), texts.add(text)) for term, text in GLOSSARY)
    gallery = b"".join(struct.pack("<8sH", stem.encode("ascii"), texts.add(title)) for stem, title in GALLERY)
    music = b"".join(struct.pack("<6sH", stem.encode("ascii"), texts.add(title)) for stem, title in MUSIC)
    offsets, blob = bytearray(), bytearray()
    for t in texts.items:
        offsets += struct.pack("<I", 4 * len(texts.items) + len(blob))
        blob += t + b"\0"
    text_table = bytes(offsets + blob)

    tables = [  # (contents, count)
        (bytes(index), len(entries)),
        (speakers, len(SPEAKERS)),
        (bytes(code), len(entries)),
        (text_table, len(texts.items)),
        (bytes(voice_table), len(voices)),
        (glossary, len(GLOSSARY)),
        (gallery, len(GALLERY)),
        (music, len(MUSIC)),
    ]
    header_size = 16 + 8 * len(tables)
    directory, body = bytearray(), bytearray()
    for contents, count in tables:
        while len(body) % 4:
            body += b"\0"
        directory += struct.pack("<II", header_size + len(body), count)
        body += contents
    body = bytes(directory + body)
    checksum = sum(body) & 0xFFFFFFFF
    header = struct.pack("<4sHHII", b"MED2", 2, len(tables), 16 + len(body), checksum)
    return header + body


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    data = build()
    with open(sys.argv[1], "wb") as out:
        out.write(data)
    print("%s: %d bytes" % (sys.argv[1], len(data)))


if __name__ == "__main__":
    main()
