INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA4080380012', '100001', 'DUPONT', 'Jean');
INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA4080380012', '100002', 'DUPONT', 'Jean');
INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA5110750001', '200001', 'DUPONT', 'Jean');
INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA9080380012', '100009', 'DUPONT', 'Jean');
-- The first line's update moves region 08 to another inter-region; the last line's update makes
-- the engine undo the whole batch, which puts the region back.
CREATE TRIGGER move AFTER UPDATE ON Licence WHEN NEW.licence = '100001'
BEGIN UPDATE Region SET CodeInter = 9 WHERE Code = '08'; END;
CREATE TRIGGER boom BEFORE UPDATE ON Licence WHEN NEW.Code_unique = 'BOOM' BEGIN SELECT RAISE(ROLLBACK, 'refus'); END;
