' A host application's call, for the Windows tests: creates a class by its ProgID, hands it a
' form, and prints what came back and what the form saw.
'   cscript //nologo host.vbs FORM METHOD DB SOURCE WORK TRACE          (METHOD licence)
'   cscript //nologo host.vbs FORM iuf DB SOURCE - TRACE ONLYMYCLUB CLUB
' FORM: recording (a form that records every value), nobar (no ProgressBar1), nothing.
' Prints "result True" (or "error N: description"), then with the recording form what it saw,
' one line each in the order written ("value V", "label I TEXT", "refresh"), then "end".

' What the form saw, one line each; gathered 500 lines at a time, so that a long import does not
' copy one ever longer text at every value.
Dim seen, recent, recentCount
seen = ""
recent = ""
recentCount = 0
Sub Saw(what)
  recent = recent & what & vbLf
  recentCount = recentCount + 1
  If recentCount = 500 Then
    seen = seen & recent
    recent = ""
    recentCount = 0
  End If
End Sub

Class RecordingBar
  Public Current
  Private Sub Class_Initialize()
    Current = 0
  End Sub
  Public Property Get Value()
    Value = Current
  End Property
  Public Property Let Value(v)
    Current = v
    Saw "value " & v
  End Property
End Class

Class RecordingLabel
  Public Index
  Public Property Let Caption(text)
    Saw "label " & Index & " " & text
  End Property
End Class

Function Labels3()
  Dim i, l(2)
  For i = 0 To 2
    Set l(i) = New RecordingLabel
    l(i).Index = i
  Next
  Labels3 = l
End Function

Class RecordingForm
  Public ProgressBar1
  Public Labels
  Private Sub Class_Initialize()
    Set ProgressBar1 = New RecordingBar
    Labels = Labels3()
  End Sub
  Public Property Get lb_message(i)
    Set lb_message = Labels(i)
  End Property
  Public Sub Refresh()
    Saw "refresh"
  End Sub
End Class

' A form on which the progress bar was forgotten.
Class FormWithoutBar
  Public Labels
  Private Sub Class_Initialize()
    Labels = Labels3()
  End Sub
  Public Property Get lb_message(i)
    Set lb_message = Labels(i)
  End Property
  Public Sub Refresh()
  End Sub
End Class

Dim args, form, importer, result
Set args = WScript.Arguments
Select Case args(0)
  Case "recording"
    Set form = New RecordingForm
  Case "nobar"
    Set form = New FormWithoutBar
  Case Else
    Set form = Nothing
End Select

On Error Resume Next
If args(1) = "iuf" Then
  Set importer = CreateObject("quorvel.clsMajIUF")
  result = importer.bImport_CodeIUF(args(3), args(2), args(5), form, args(6) = "1", args(7))
Else
  Set importer = CreateObject("quorvel.clsRecupLicence")
  result = importer.bImport_Licence(args(2), args(3), args(4), args(5), form)
End If
If Err.Number <> 0 Then
  WScript.Echo "error " & Err.Number & ": " & Err.Description
Else
  WScript.Echo "result " & result & " " & TypeName(result)
End If
On Error GoTo 0

seen = seen & recent
If seen <> "" Then WScript.Echo Left(seen, Len(seen) - 1)
WScript.Echo "end"
