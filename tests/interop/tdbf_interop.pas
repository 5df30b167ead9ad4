{ Another engine on Pontrel's tables: TDbf 7, built from its own source by scripts/interop-check.sh.
  It opens, walks, appends to and updates level-7 tables with their production index, as the
  timetable tool's engine does, and creates tables of its own for Pontrel to read.

  tdbf-interop dump TABLE.DBF shared|exclusive
      The table at level 7, as CSV on standard output in the form of `pontrel-cli dump` (field names,
      then one line per live record; text as stored, without trailing blanks; NULL empty).
  tdbf-interop walk TABLE.DBF TAG shared|exclusive
      Walks the tag forwards and backwards; checks that both directions give the same records, keys
      ascending, and every live record once. Prints one line per record: physical record number, tab,
      key value (empty for NULL).
  tdbf-interop append TABLE.DBF COUNT SEED
      Opens the table exclusively, as the timetable tool's main window does; appends COUNT records,
      changes ORDEN of every 7th appended record, deletes one record, closes.
  tdbf-interop create TABLE.DBF COUNT SEED
      Creates a level-7 table shaped like DIASHORAST2 with a production index tag ORDEN, and fills it.

  ORDEN values come from a fixed sequence over SEED: negative, repeated, extreme and NULL values.
  Exit status 0, or 1 with a message on standard error. }
program tdbf_interop;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, DB, dbf, dbf_common, fieldvalues;

type
  { Text goes to and from the table unchanged: the comparison is with the bytes that Pontrel wrote. }
  THandlers = class
    function KeepBytes(Table: TDbf; Src, Dest: PAnsiChar; ToOem: Boolean): Integer;
    procedure IndexMissing(var DeleteLink: Boolean);
  end;

var
  Handlers: THandlers;

function THandlers.KeepBytes(Table: TDbf; Src, Dest: PAnsiChar; ToOem: Boolean): Integer;
begin
  Result := StrLen(Src);
  if Src <> Dest then
    Move(Src^, Dest^, Result + 1);
end;

procedure Fail(const Message: string);
begin
  raise Exception.Create(Message);
end;

{ Left alone, TDbf clears the table's index flag when it does not find NAME.mdx (in lower case on
  Linux) and goes on without the index. }
procedure THandlers.IndexMissing(var DeleteLink: Boolean);
begin
  DeleteLink := False;
  Fail('the table announces a production index and TDbf finds no NAME.mdx beside it');
end;

procedure SelectIndex(Table: TDbf; const Tag: string);
begin
  Table.IndexName := Tag;
  if Table.IndexName <> Tag then
    Fail('the index has no tag ' + Tag);
end;

{ The table of FileName, its text kept as stored; not opened yet. }
function TableOf(const FileName: string): TDbf;
begin
  Result := TDbf.Create(nil);
  Result.FilePathFull := ExtractFilePath(ExpandFileName(FileName));
  Result.TableName := ExtractFileName(FileName);
  Result.OnTranslate := @Handlers.KeepBytes;
end;

function OpenTable(const FileName: string; Exclusive: Boolean): TDbf;
begin
  Result := TableOf(FileName);
  Result.Exclusive := Exclusive;
  Result.OnIndexMissing := @Handlers.IndexMissing;
  Result.Open;
  if Result.TableLevel <> 7 then
    Fail(FileName + ': level ' + IntToStr(Result.TableLevel) + ', not 7');
end;

function ModeIsExclusive(const Mode: string): Boolean;
begin
  if Mode = 'exclusive' then
    Exit(True);
  if Mode <> 'shared' then
    Fail('open mode must be shared or exclusive, not ' + Mode);
  Result := False;
end;

function CsvField(const S: AnsiString): AnsiString;
var
  I: Integer;
begin
  if (Pos(',', S) = 0) and (Pos('"', S) = 0) and (Pos(#13, S) = 0) and (Pos(#10, S) = 0) then
    Exit(S);
  Result := '"';
  for I := 1 to Length(S) do
  begin
    if S[I] = '"' then
      Result := Result + '"';
    Result := Result + S[I];
  end;
  Result := Result + '"';
end;

function FieldText(F: TField): AnsiString;
begin
  case ValueKind(F) of
    vkNull:
      Result := '';
    vkInteger:
      Result := IntToStr(F.AsLargeInt);
    vkFloat:
      Result := FloatToStr(F.AsFloat, PointDecimals);
    vkBoolean:
      if F.AsBoolean then Result := 'T' else Result := 'F';
  else
    Result := TrimRight(F.AsString); // dates too: as the engine gives them
  end;
end;

procedure Dump(const FileName: string; Exclusive: Boolean);
var
  Table: TDbf;
  Line: AnsiString;
  I: Integer;
begin
  Table := OpenTable(FileName, Exclusive);
  try
    Line := '';
    for I := 0 to Table.FieldCount - 1 do
    begin
      if I > 0 then Line := Line + ',';
      Line := Line + CsvField(Table.Fields[I].FieldName);
    end;
    WriteLn(Line);
    Table.First;
    while not Table.EOF do
    begin
      Line := '';
      for I := 0 to Table.FieldCount - 1 do
      begin
        if I > 0 then Line := Line + ',';
        Line := Line + CsvField(FieldText(Table.Fields[I]));
      end;
      WriteLn(Line);
      Table.Next;
    end;
    Table.Close;
  finally
    Table.Free;
  end;
end;

type
  TStep = record
    RecNo: Integer;
    Null: Boolean;
    Key: Int64;
  end;
  TSteps = array of TStep;

function StepHere(Table: TDbf; Field: TField): TStep;
begin
  Result.RecNo := Table.PhysicalRecNo;
  Result.Null := Field.IsNull;
  if Result.Null then Result.Key := 0 else Result.Key := Field.AsLargeInt;
end;

{ NULL has the lowest key: its stored bytes are all zero. }
function Less(const A, B: TStep): Boolean;
begin
  if A.Null or B.Null then
    Exit(A.Null and not B.Null);
  Result := A.Key < B.Key;
end;

{ The live records in the order of the selected tag, from the first on or from the last back: as
  many as the table has, each once. }
function WalkOneWay(Table: TDbf; Field: TField; const FileName, Tag: string; Live: Integer;
  FromTheEnd: Boolean): TSteps;
const
  Direction: array[Boolean] of string = ('forwards', 'backwards');
var
  N: Integer;
begin
  SetLength(Result, Live + 1);
  N := 0;
  if FromTheEnd then Table.Last else Table.First;
  while not ((FromTheEnd and Table.BOF) or (not FromTheEnd and Table.EOF)) do
  begin
    if N > Live then
      Fail(FileName + ': the walk ' + Direction[FromTheEnd] + ' by ' + Tag +
        ' gives more records than the table has');
    Result[N] := StepHere(Table, Field);
    Inc(N);
    if FromTheEnd then Table.Prior else Table.Next;
  end;
  if N <> Live then
    Fail(Format('%s: the walk %s by %s gives %d records of %d', [FileName, Direction[FromTheEnd], Tag, N, Live]));
end;

procedure Walk(const FileName, Tag: string; Exclusive: Boolean);
var
  Table: TDbf;
  Field: TField;
  Forwards, Backwards: TSteps;
  Seen: array of Boolean;
  Live, I: Integer;
begin
  Table := OpenTable(FileName, Exclusive);
  try
    Field := Table.FieldByName(Tag);
    Live := 0;
    Table.First;
    while not Table.EOF do
    begin
      Inc(Live);
      Table.Next;
    end;
    SelectIndex(Table, Tag);
    Forwards := WalkOneWay(Table, Field, FileName, Tag, Live, False);
    Backwards := WalkOneWay(Table, Field, FileName, Tag, Live, True);
    SetLength(Seen, Table.PhysicalRecordCount + 1);
    for I := 0 to Live - 1 do
    begin
      if (Backwards[Live - 1 - I].RecNo <> Forwards[I].RecNo) then
        Fail(Format('%s: step %d forwards is record %d, backwards record %d',
          [FileName, I, Forwards[I].RecNo, Backwards[Live - 1 - I].RecNo]));
      if (I > 0) and Less(Forwards[I], Forwards[I - 1]) then
        Fail(Format('%s: record %d (key %d) comes after record %d (key %d)',
          [FileName, Forwards[I].RecNo, Forwards[I].Key, Forwards[I - 1].RecNo, Forwards[I - 1].Key]));
      if (Forwards[I].RecNo < 1) or (Forwards[I].RecNo > High(Seen)) or Seen[Forwards[I].RecNo] then
        Fail(Format('%s: record %d met twice or out of range', [FileName, Forwards[I].RecNo]));
      Seen[Forwards[I].RecNo] := True;
      if Forwards[I].Null then
        WriteLn(Forwards[I].RecNo, #9)
      else
        WriteLn(Forwards[I].RecNo, #9, Forwards[I].Key);
    end;
    Table.Close;
  finally
    Table.Free;
  end;
end;

var
  Seed: Cardinal;

function NextRandom: Cardinal;
begin
  Seed := Seed * 1103515245 + 12345;
  Result := Seed shr 8;
end;

{ Negative, repeated, extreme and NULL values. The lowest integer is left out: its level-7 form is
  all zero bytes, which is NULL. }
procedure SetOrden(Field: TField; I: Integer);
begin
  case I mod 9 of
    0: Field.Clear;
    1: Field.AsInteger := 2147483647;
    2: Field.AsInteger := -2147483647;
    3: Field.AsInteger := 0;
    4, 5: Field.AsInteger := Integer(NextRandom mod 41) - 20;
    6: Field.AsInteger := Integer(NextRandom mod 2000001) - 1000000;
  else
    Field.AsInteger := Integer(NextRandom) - Integer(NextRandom mod 7);
  end;
end;

procedure FillRecord(Table: TDbf; I: Integer);
begin
  Table.FieldByName('DIHO').AsString := 'T' + IntToStr(I);
  Table.FieldByName('DIA').AsString := 'Mi'#$E9'rcoles';
  Table.FieldByName('TEXTOHOR').AsString := 'A'#$F1'adido ' + IntToStr(I mod 100);
  Table.FieldByName('MARCO').AsString := '0';
  SetOrden(Table.FieldByName('ORDEN'), I);
end;

{ COUNT new records at the end, numbered from 1. }
procedure AppendRecords(Table: TDbf; Count: Integer);
var
  I: Integer;
begin
  for I := 1 to Count do
  begin
    Table.Append;
    FillRecord(Table, I);
    Table.Post;
  end;
end;

procedure Append(const FileName: string; Count: Integer);
var
  Table: TDbf;
  I, Changed: Integer;
begin
  Table := OpenTable(FileName, True);
  try
    SelectIndex(Table, 'ORDEN');
    AppendRecords(Table, Count);
    // Change keys of records spread over the table: the old key leaves its node, the new one enters
    // another.
    Table.IndexName := '';
    Changed := 0;
    I := 0;
    Table.First;
    while not Table.EOF do
    begin
      Inc(I);
      if I mod 7 = 3 then
      begin
        Table.Edit;
        SetOrden(Table.FieldByName('ORDEN'), I + 4);
        Table.Post;
        Inc(Changed);
      end;
      Table.Next;
    end;
    Table.PhysicalRecNo := (Table.PhysicalRecordCount + 1) div 2;
    WriteLn('appended ', Count, ', changed ', Changed, ', deleted record ', Table.PhysicalRecNo);
    Table.Delete;
    Table.Close;
  finally
    Table.Free;
  end;
end;

procedure CreateAndFill(const FileName: string; Count: Integer);
var
  Table: TDbf;
begin
  Table := TableOf(FileName);
  try
    Table.TableLevel := 7;
    Table.LanguageID := $57; // DBWINUS0, as the working tables
    Table.FieldDefs.Add('DIHO', ftString, 10);
    Table.FieldDefs.Add('DIA', ftString, 20);
    Table.FieldDefs.Add('TEXTOHOR', ftString, 15);
    Table.FieldDefs.Add('MARCO', ftString, 1);
    Table.FieldDefs.Add('ORDEN', ftInteger);
    Table.CreateTable;
    Table.Exclusive := True;
    Table.Open;
    Table.AddIndex('ORDEN', 'ORDEN', []);
    SelectIndex(Table, 'ORDEN');
    AppendRecords(Table, Count);
    Table.Close;
  finally
    Table.Free;
  end;
end;

var
  Command: string;
begin
  Handlers := THandlers.Create;
  try
    try
      if TDBF_MAJOR_VERSION <> 7 then
        Fail('built with TDbf ' + IntToStr(TDBF_MAJOR_VERSION) + ', not 7');
      Command := ParamStr(1);
      if (Command = 'dump') and (ParamCount = 3) then
        Dump(ParamStr(2), ModeIsExclusive(ParamStr(3)))
      else if (Command = 'walk') and (ParamCount = 4) then
        Walk(ParamStr(2), ParamStr(3), ModeIsExclusive(ParamStr(4)))
      else if (Command = 'append') and (ParamCount = 4) then
      begin
        Seed := StrToInt(ParamStr(4));
        Append(ParamStr(2), StrToInt(ParamStr(3)));
      end
      else if (Command = 'create') and (ParamCount = 4) then
      begin
        Seed := StrToInt(ParamStr(4));
        CreateAndFill(ParamStr(2), StrToInt(ParamStr(3)));
      end
      else
      begin
        WriteLn(StdErr, 'usage: tdbf-interop dump|walk|append|create ...');
        ExitCode := 2;
      end;
    except
      on E: Exception do
      begin
        WriteLn(StdErr, 'tdbf-interop ', Command, ': ', E.Message);
        ExitCode := 1;
      end;
    end;
  finally
    Handlers.Free;
  end;
end.
