INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA1010350007', '700001', 'MARTIN', 'Paul');
INSERT INTO Licence (Num, Code_club, licence, Nom, Prenom) VALUES (40, 'FRA1010350007', '700002', 'MARTIN', 'Léa');
DELETE FROM Licence WHERE Num = 40;
