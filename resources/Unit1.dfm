object Form1: TForm1
  Left = 585
  Top = 1026
  Width = 618
  Height = 291
  Caption = 'アップデーター'
  Color = clBtnFace
  Font.Charset = SHIFTJIS_CHARSET
  Font.Color = clWindowText
  Font.Height = -12
  Font.Name = 'ＭＳ Ｐゴシック'
  Font.Style = []
  OldCreateOrder = True
  Scaled = False
  OnCreate = FormCreate
  OnShow = FormShow
  PixelsPerInch = 96
  TextHeight = 12
  object Image1: TImage
    Left = 8
    Top = 8
    Width = 593
    Height = 193
  end
  object Button1: TButton
    Left = 8
    Top = 216
    Width = 113
    Height = 33
    Caption = 'アップデート開始'
    TabOrder = 0
    OnClick = Button1Click
  end
  object Button3: TButton
    Left = 496
    Top = 216
    Width = 83
    Height = 33
    Caption = '終了'
    TabOrder = 1
    OnClick = Button3Click
  end
end
