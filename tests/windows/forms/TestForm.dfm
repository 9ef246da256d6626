object TestForm: TTestForm
  Left = 120
  Top = 80
  Width = 640
  Height = 300
  Caption = 'テスト用ウィンドウ'
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
  object Picture: TImage
    Left = 8
    Top = 8
    Width = 593
    Height = 193
  end
  object Later: TButton
    Left = 496
    Top = 216
    Width = 83
    Height = 33
    Caption = '後で'
    TabOrder = 1
    OnClick = LaterClick
  end
  object Sooner: TButton
    Left = 8
    Top = 216
    Width = 113
    Height = 33
    Caption = 'It''s 先'
    TabOrder = 0
    OnClick = SoonerClick
  end
end
