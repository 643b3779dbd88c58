INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA4080380012', '100001', 'DUPONT', 'Jean');
INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA5110750001', '200001', 'DUPONT', 'Jean');
CREATE TRIGGER autre BEFORE UPDATE ON Licence WHEN OLD.licence = '200001' BEGIN SELECT RAISE(ABORT, 'autre club'); END;
