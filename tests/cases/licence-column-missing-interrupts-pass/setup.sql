CREATE TABLE L2 AS SELECT Num, Code_club, licence, Nom FROM Licence;
DROP TABLE Licence;
ALTER TABLE L2 RENAME TO Licence;
